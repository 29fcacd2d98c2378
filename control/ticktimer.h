#pragma once
// Timer1: one tick per interval while enabled. Starting a stopped timer begins a full
// interval; starting a running one changes nothing (the count must not lose a part-second).

#include <QObject>

class TickTimer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~TickTimer() override = default;

    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

Q_SIGNALS:
    void Timer();
};

// The real one: a precise QTimer.
class QtTickTimer final : public TickTimer
{
    Q_OBJECT
public:
    explicit QtTickTimer(QObject *parent = nullptr);

    void setInterval(int milliseconds) override;
    int interval() const override;
    void start() override;
    void stop() override;
    bool isActive() const override;

private:
    class QTimer *m_timer;
};
