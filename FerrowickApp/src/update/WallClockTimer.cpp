#include "update/WallClockTimer.h"

#include "DebugLog.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <sys/timerfd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace Ferrowick {

WallClockTimer::WallClockTimer(QObject *parent)
    : QObject(parent)
    , m_fd(::timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC))
{
    if (m_fd < 0) {
        DebugLog::note(
            u"timer: no wall-clock timer: "_s + QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    auto *notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &WallClockTimer::expired);
}

WallClockTimer::~WallClockTimer()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void WallClockTimer::start(const QDateTime &at)
{
    if (m_fd < 0)
        return;
    const qint64 ms = std::max<qint64>(at.toMSecsSinceEpoch(), 1);
    itimerspec expiry {};
    expiry.it_value.tv_sec = ms / 1000;
    expiry.it_value.tv_nsec = (ms % 1000) * 1'000'000;
    // Absolute, and cancelled when someone sets the clock.
    if (::timerfd_settime(m_fd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &expiry, nullptr) !=
        0) {
        DebugLog::note(
            u"timer: could not be set: "_s + QString::fromLocal8Bit(std::strerror(errno)));
        m_deadline = {};
        return;
    }
    m_deadline = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

void WallClockTimer::stop()
{
    if (m_fd < 0)
        return;
    const itimerspec disarm {};
    ::timerfd_settime(m_fd, 0, &disarm, nullptr);
    m_deadline = {};
}

void WallClockTimer::expired()
{
    std::uint64_t expirations = 0;
    const ssize_t read = ::read(m_fd, &expirations, sizeof expirations);
    if (read < 0 && errno == EAGAIN)
        return;
    const bool clockSet = read < 0 && errno == ECANCELED;
    stop();
    if (clockSet)
        emit clockChanged();
    else
        emit timeout();
}

} // namespace Ferrowick
