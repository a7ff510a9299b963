#pragma once

#include <QDateTime>
#include <QObject>

namespace Ferrowick {

// A single-shot timer for a time of day. A QTimer counts on the monotonic clock, which stands
// still while the machine sleeps: a laptop suspended every night would see a daily timer fire
// days late. This one fires at the wall-clock time, at once after a resume that passed it, and
// reports a clock that was set, so its owner can work the time out again. Main thread only.
class WallClockTimer final : public QObject
{
    Q_OBJECT

public:
    explicit WallClockTimer(QObject *parent = nullptr);
    ~WallClockTimer() override;
    WallClockTimer(const WallClockTimer &) = delete;
    WallClockTimer &operator=(const WallClockTimer &) = delete;

    // Replaces any earlier time; a time already past fires at once.
    void start(const QDateTime &at);
    void stop();
    bool isActive() const { return m_deadline.isValid(); }
    // Invalid when inactive.
    QDateTime deadline() const { return m_deadline; }

signals:
    void timeout();
    // The system clock was set; the timer is stopped.
    void clockChanged();

private:
    void expired();

    int m_fd = -1;
    QDateTime m_deadline;
};

} // namespace Ferrowick
