#pragma once
// Doubles for the window tests: a port that records what the console writes, boxes that answer
// from a script and log what they were asked, and a timer that never ticks on its own.

#include "control/dialogs.h"
#include "control/ticktimer.h"
#include "link/pumpport.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <vector>

class RecordingPumpPort final : public PumpPort
{
public:
    bool acceptWrites = true; // false: an open port whose device refuses every frame
    bool open = false;
    std::vector<QByteArray> written;
    QStringList calls;

    PortStatus setCommPort(const QString &device) override
    {
        calls << QStringLiteral("CommPort=") + device;
        if (open) {
            return PortStatus::failure(PortError::AlreadyOpen);
        }
        m_device = device;
        return PortStatus::success();
    }
    QString commPort() const override { return m_device; }
    PortStatus setPortOpen(bool wanted) override
    {
        calls << QStringLiteral("PortOpen=%1").arg(int(wanted));
        open = wanted;
        return PortStatus::success();
    }
    bool portOpen() const override { return open; }
    PortStatus setSettings(const QString &settings) override
    {
        calls << QStringLiteral("Settings=") + settings;
        return PortStatus::success();
    }
    void setInputLen(int) override {}
    void setRThreshold(int) override {}
    PortStatus output(const QByteArray &frame) override
    {
        if (!acceptWrites) {
            return PortStatus::failure(PortError::WriteFailed, QStringLiteral("refused"));
        }
        written.push_back(frame);
        return PortStatus::success();
    }
    QByteArray input() override { return {}; }
    int commEvent() const override { return comEvReceive; }

private:
    QString m_device;
};

class ScriptedDialogs final : public Dialogs
{
public:
    std::deque<std::optional<QString>> answers; // InputBox answers in turn; then Cancel
    QStringList log;                            // "InputBox|prompt|title|default", ...

    std::optional<QString> InputBox(const QString &prompt, const QString &title,
                                    const QString &defaultText) override
    {
        log << QStringList{QStringLiteral("InputBox"), prompt, title, defaultText}.join(u'|');
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void MsgBox(const QString &prompt, int style, const QString &title) override
    {
        log << QStringList{QStringLiteral("MsgBox"), prompt, QString::number(style), title}.join(
            u'|');
    }
    void notify(const QString &prompt, const QString &title) override
    {
        log << QStringList{QStringLiteral("notify"), prompt, title}.join(u'|');
    }
};

class IdleTimer final : public TickTimer
{
public:
    void setInterval(int ms) override { m_interval = ms; }
    int interval() const override { return m_interval; }
    void start() override { m_active = true; }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

private:
    int m_interval = 0;
    bool m_active = false;
};

// Runs `act` on the first modal widget of type T that opens, from a polling timer: the call
// that opens the box blocks in its own event loop, where the timer keeps firing. A box of
// another type, or none, is closed after three seconds so that a failing test ends.
template<typename T> void whenModalOpens(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    auto polls = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, polls] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<T *>(modal)) {
            timer->stop();
            timer->deleteLater();
            act(box);
        } else if (++*polls > 300) {
            timer->stop();
            timer->deleteLater();
            if (modal) {
                modal->close();
            }
        }
    });
    timer->start();
}
