#pragma once
// The timed run's clock: one tick a second while running (the line watch uses tickers too, at
// their own pace). Starting a running ticker changes nothing (the count must not lose a
// part-second).

#include <chrono>
#include <QObject>

class Ticker : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Ticker() override = default;

    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;

Q_SIGNALS:
    void tick();
};

// The real one: a precise QTimer, a tick a second unless given another interval.
class QtTicker final : public Ticker
{
    Q_OBJECT
public:
    explicit QtTicker(QObject *parent = nullptr);
    explicit QtTicker(std::chrono::milliseconds interval, QObject *parent = nullptr);

    void start() override;
    void stop() override;
    bool isActive() const override;

private:
    class QTimer *m_timer;
};
