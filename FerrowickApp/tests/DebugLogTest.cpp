#include "DebugLog.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Ferrowick;
using namespace Qt::StringLiterals;

class DebugLogTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_state;

private slots:
    // Nothing masks the modes away: what is checked is the log's own choice.
    void initTestCase()
    {
        ::umask(0);
        // linesNotedAtExitAreWritten's program, which quits right after noting.
        if (qEnvironmentVariableIsSet("FERROWICK_NOTE_AND_EXIT")) {
            for (int i = 0; i < 2000; ++i)
                DebugLog::note(u"line %1"_s.arg(i));
            QSKIP("noted, and quits");
        }
        qputenv("XDG_STATE_HOME", (m_state.path() + u"/state"_s).toUtf8());
    }

    void sizeLimit_data()
    {
        QTest::addColumn<qsizetype>("size");
        QTest::addColumn<qsizetype>("after"); // each line is 26 bytes
        QTest::newRow("at the limit: appended") << qsizetype(262'144) << qsizetype(262'170);
        QTest::newRow("one byte over: started afresh") << qsizetype(262'145) << qsizetype(26);
    }
    void sizeLimit()
    {
        QFETCH(qsizetype, size);
        DebugLog::note(u"line"_s);
        DebugLog::flush();
        QVERIFY(QFile::resize(DebugLog::filePath(), size));
        DebugLog::note(u"next"_s);
        DebugLog::flush();
        QTEST(QFileInfo(DebugLog::filePath()).size(), "after");
        // Nobody else may read it, whenever it is made, nor the folders made on the way to it.
        for (const QString &path : { m_state.path() + u"/state"_s,
                 QFileInfo(DebugLog::filePath()).path(), DebugLog::filePath() })
            QCOMPARE(QFile::permissions(path).toInt() & 0x077, 0);
    }

    void linesNotedAtExitAreWritten()
    {
        qputenv("FERROWICK_NOTE_AND_EXIT", "1");
        QCOMPARE(QProcess::execute(QCoreApplication::applicationFilePath(), {}), 0);
        QFile log(DebugLog::filePath());
        QVERIFY(log.open(QIODevice::ReadOnly) && log.readAll().endsWith(" line 1999\n"));
    }
};

QTEST_GUILESS_MAIN(DebugLogTest)
#include "DebugLogTest.moc"
