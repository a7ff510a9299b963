#include "DebugLog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>
#include <sys/stat.h>
#include <vector>

using namespace Ferrowick;
using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Permission bits in octal; empty when absent.
QString mode(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return u'0' + QString::number(info.st_mode & 07777, 8);
}

// The message part of each line, timestamps checked and cut off.
QStringList messages()
{
    DebugLog::flush();
    static const QRegularExpression stamp(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ $"_s);
    QStringList result;
    const QStringList lines = QString::fromUtf8(contents(DebugLog::filePath())).split(u'\n');
    for (const QString &line : lines.first(lines.size() - 1)) {
        if (!stamp.match(line.left(21)).hasMatch())
            return { u"bad line: "_s + line };
        result << line.mid(21);
    }
    return result;
}

} // namespace

class DebugLogTest : public QObject
{
    Q_OBJECT

private slots:
    // Nothing masks the modes away: what is checked is the log's own choice.
    void initTestCase() { ::umask(0); }

    void init()
    {
        m_state = std::make_unique<QTemporaryDir>();
        qputenv("XDG_STATE_HOME", (m_state->path() + u"/state"_s).toUtf8());
    }

    void firstNoteCreatesFolderAndFile()
    {
        qputenv("TZ", "America/Los_Angeles");
        DebugLog::note(u"menu: Settings…"_s);
        QCOMPARE(DebugLog::filePath(), m_state->path() + u"/state/Ferrowick/debug.log"_s);
        QCOMPARE(messages(), QStringList { u"menu: Settings…"_s });

        const QByteArray line = contents(DebugLog::filePath());
        const auto written = QDateTime::fromString(QString::fromUtf8(line.left(20)), Qt::ISODate);
        QVERIFY(qAbs(written.secsTo(QDateTime::currentDateTimeUtc())) < 60);
        QVERIFY(line.endsWith("menu: Settings\xE2\x80\xA6\n"));

        // Private, and so is the missing state folder made on the way.
        QCOMPARE(mode(m_state->path() + u"/state"_s), u"0700"_s);
        QCOMPARE(mode(m_state->path() + u"/state/Ferrowick"_s), u"0700"_s);
        QCOMPARE(mode(DebugLog::filePath()), u"0600"_s);
    }

    void linesFromSeveralThreadsKeepCallOrder()
    {
        std::vector<std::unique_ptr<QThread>> threads;
        QStringList expected;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back(QThread::create([t] {
                for (int i = 0; i < 200; ++i)
                    DebugLog::note(u"thread %1 line %2"_s.arg(t).arg(i));
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(20'000));

        const QStringList lines = messages();
        QCOMPARE(lines.size(), 800);
        // Each thread's lines stay whole and in that thread's order, however they interleave.
        for (int t = 0; t < 4; ++t) {
            QStringList own = lines.filter(QRegularExpression(u"^thread %1 "_s.arg(t)));
            for (int i = 0; i < 200; ++i)
                QCOMPARE(own.value(i), u"thread %1 line %2"_s.arg(t).arg(i));
        }
    }

    void sizeLimit_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<bool>("restarted");
        QTest::newRow("at the limit: appended") << qsizetype(262'144) << false;
        QTest::newRow("one byte over: started afresh") << qsizetype(262'145) << true;
    }
    void sizeLimit()
    {
        QFETCH(qsizetype, size);
        QFETCH(bool, restarted);
        DebugLog::note(u"first"_s);
        DebugLog::flush();
        QFile file(DebugLog::filePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(QByteArray(size, 'x')), size);
        file.close();

        DebugLog::note(u"next"_s);
        DebugLog::flush();
        const QByteArray after = contents(DebugLog::filePath());
        QCOMPARE(after.startsWith("xxx"), !restarted);
        QVERIFY(after.endsWith(" next\n"));
        QCOMPARE(after.size(), restarted ? 26 : size + 26);
        QCOMPARE(mode(DebugLog::filePath()), u"0600"_s);
    }

    void unwritableFolderLosesTheLineQuietly()
    {
        // A folder path through a regular file cannot be created, not even by root.
        const QString blocker = m_state->path() + u"/blocker"_s;
        QVERIFY(QFile(blocker).open(QIODevice::WriteOnly));
        qputenv("XDG_STATE_HOME", (blocker + u"/state"_s).toUtf8());

        DebugLog::note(u"lost"_s);
        DebugLog::flush();
        QVERIFY(!QFile::exists(DebugLog::filePath()));

        // The log carries on once the folder can be made again.
        QVERIFY(QFile::remove(blocker));
        DebugLog::note(u"kept"_s);
        QCOMPARE(messages(), QStringList { u"kept"_s });
    }

    void linesNotedAtExitAreWritten()
    {
        QProcess child;
        child.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        child.start(QCoreApplication::applicationFilePath(), { u"--note-and-exit"_s });
        QVERIFY(child.waitForFinished(20'000));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(messages().size(), 2000);
    }

private:
    std::unique_ptr<QTemporaryDir> m_state;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // A program that quits right after noting: nothing it noted may be lost.
    if (app.arguments().contains(u"--note-and-exit"_s)) {
        for (int i = 0; i < 2000; ++i)
            DebugLog::note(u"line %1"_s.arg(i));
        return 0;
    }
    DebugLogTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "DebugLogTest.moc"
