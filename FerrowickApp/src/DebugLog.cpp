#include "DebugLog.h"

#include "PrivateFiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <mutex>
#include <syslog.h>

using namespace Qt::StringLiterals;

namespace Ferrowick::DebugLog {

namespace {

constexpr qint64 sizeLimit = 262'144;

void systemLog(int priority, const QByteArray &message)
{
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("ferrowick", LOG_PID, LOG_USER); });
    syslog(priority, "%s", message.constData());
}

QString folderPath()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // XDG says a relative value is to be ignored.
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + u"/.local/state"_s;
    return base + u"/Ferrowick"_s;
}

void appendLine(const QString &message)
{
    PrivateFiles::makeFolder(folderPath());
    const QString path = filePath();
    if (const QFileInfo info(path); info.exists() && info.size() > sizeLimit)
        QFile::remove(path);

    const QByteArray line =
        (QDateTime::currentDateTimeUtc().toString(Qt::ISODate) + u' ' + message + u'\n').toUtf8();
    // Append to what is there; only when there is nothing to append to does a new file start.
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::ExistingOnly)) {
        file.write(line);
        return;
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate, PrivateFiles::filePermissions) ||
        file.write(line) != line.size())
        systemLog(LOG_ERR, "debug log write failed");
}

// The one thread that touches the file. Lines are posted to it as queued calls, so they are
// written in call order whichever thread noted them.
class Writer
{
public:
    Writer()
    {
        m_thread.setObjectName(u"ferrowick debug log"_s);
        m_context.moveToThread(&m_thread);
        m_thread.start();
        // Lines noted up to the end of the program are written before it exits.
        if (QCoreApplication::instance())
            qAddPostRoutine(&flush);
    }
    ~Writer() { stop(); }

    void post(const QString &message)
    {
        std::lock_guard lock(m_stopping);
        if (!m_thread.isRunning()) {
            appendLine(message);
            return;
        }
        QMetaObject::invokeMethod(
            &m_context, [message] { appendLine(message); }, Qt::QueuedConnection);
    }

    void drain()
    {
        std::lock_guard lock(m_stopping);
        if (m_thread.isRunning() && QThread::currentThread() != &m_thread)
            QMetaObject::invokeMethod(
                &m_context, [] {}, Qt::BlockingQueuedConnection);
    }

private:
    void stop()
    {
        drain();
        std::lock_guard lock(m_stopping);
        m_thread.quit();
        m_thread.wait();
    }

    QThread m_thread;
    QObject m_context;
    // Keeps a line from being posted to a thread that is just ending.
    std::recursive_mutex m_stopping;
};

Writer &writer()
{
    static Writer instance;
    return instance;
}

} // namespace

void note(const QString &message)
{
    systemLog(LOG_NOTICE, message.toUtf8());
    writer().post(message);
}

QString filePath()
{
    return folderPath() + u"/debug.log"_s;
}

void flush()
{
    writer().drain();
}

} // namespace Ferrowick::DebugLog
