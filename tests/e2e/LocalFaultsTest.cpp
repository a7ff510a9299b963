#include "E2E.h"

using namespace E2E;

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(bytes) == bytes.size();
}

QString logFolder()
{
    return qEnvironmentVariable("XDG_STATE_HOME") + u"/Ferrowick"_s;
}

// The debug log's size limit: a file larger than this is deleted before the next line.
constexpr qsizetype logLimit = 262'144;

// Earlier lines of exactly this size.
QByteArray earlierLines(qsizetype size)
{
    QByteArray lines;
    while (lines.size() < size)
        lines += "2000-01-01T00:00:00Z earlier line\n";
    lines.truncate(size);
    lines[size - 1] = '\n';
    return lines;
}

// The messages of log lines, without their time stamps.
QStringList messagesOf(const QByteArray &lines)
{
    QStringList messages;
    for (const QString &line : QString::fromUtf8(lines).split(u'\n', Qt::SkipEmptyParts))
        messages << line.section(u' ', 1);
    return messages;
}

} // namespace

// Faults of the program's own files: a damaged preferences file, a log it cannot write, a log at
// its size limit. Each ends with the program working and quitting cleanly.
class LocalFaultsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!inHarness())
            QSKIP("only in the headless harness: never the user's files, keyboard or clipboard");
        QVERIFY(m_provider.start({ .accounts = { { u"demo"_s, u"demo-password-1"_s, {} } } }));
    }

    void init()
    {
        QVERIFY(m_provider.reset());
        QFile::remove(logFolder()); // left as a file by unwritableLogFolder
        QVERIFY(resetDesktop());
        QVERIFY(storeCredentials(u"demo"_s, u"demo-password-1"_s));
    }

    // A shortcut configuration that cannot be used: the defaults apply, and the file is left as
    // the user has it until a configuration is saved.
    void damagedShortcutsGiveTheDefaults_data()
    {
        QTest::addColumn<QByteArray>("preferences");
        QTest::newRow("not JSON") << QByteArray("[General]\n"
                                                "fwHotkeyConfiguration=@ByteArray(not json)\n");
        QTest::newRow("cut off") << QByteArray(
            "[General]\nfwHotkeyConfiguration=@ByteArray({\"combos\":[1,{\"keyCode\":");
        QTest::newRow("binary") << QByteArray(
            "[General]\nfwHotkeyConfiguration=@ByteArray(\\0\\xff\\xfe{)\n");
        QTest::newRow("one key for every action") << QByteArray(
            "[General]\nfwHotkeyConfiguration=@ByteArray({\"combos\":["
            "1,{\"keyCode\":1,\"modifiers\":2816},2,{\"keyCode\":1,\"modifiers\":2816},"
            "3,{\"keyCode\":1,\"modifiers\":2816},4,{\"keyCode\":1,\"modifiers\":2816}]})\n");
    }
    void damagedShortcutsGiveTheDefaults()
    {
        QFETCH(QByteArray, preferences);
        QVERIFY(writeFile(preferencesFile(), preferences));
        App app(m_provider);
        QVERIFY(app.start());
        QCOMPARE(
            messagesStartingWith(u"launch: "_s), QStringList { u"launch: hasCredentials=true"_s });
        QCOMPARE(fileBytes(preferencesFile()), preferences);

        QVERIFY(shrinks());
        QCOMPARE(messagesStartingWith(u"hotkey: "_s), QStringList { u"hotkey: newShrink"_s });
        QVERIFY(app.stop());
        QCOMPARE(fileBytes(preferencesFile()), preferences);
    }

    // Where the log's folder should be there is a file: the program runs without its log, leaves
    // the file alone, and logs again once the folder can be made.
    void unwritableLogFolder()
    {
        const QByteArray blocker = "not a folder\n";
        QVERIFY(writeFile(logFolder(), blocker));
        App app(m_provider);
        QVERIFY(startWithoutLog(app));
        QVERIFY(shrinks());
        QCOMPARE(fileBytes(logFolder()), blocker);

        QVERIFY(QFile::remove(logFolder()));
        QVERIFY(shrinks());
        QVERIFY2(waitForLog(u"newShrink outcome: copied"_s), logDump());
        QCOMPARE(messagesStartingWith(u"hotkey: "_s), QStringList { u"hotkey: newShrink"_s });
        QVERIFY(app.stop());
    }

    // The two lines of a shrink of no link, written to a log of the limit's size give or take: a
    // log larger than the limit is started anew before a line, one that is not gets the line.
    void logAtItsSizeLimit_data()
    {
        QTest::addColumn<qsizetype>("beyond"); // bytes beyond the limit
        QTest::addColumn<int>("linesShort"); // hotkey lines short of the limit
        QTest::addColumn<bool>("kept");
        QTest::addColumn<QStringList>("written"); // after the earlier lines, when kept

        const QString hotkey = u"hotkey: newShrink"_s;
        const QString outcome = u"newShrink outcome: invalidClipboard"_s;
        QTest::newRow("reaches the limit")
            << qsizetype(0) << 1 << true << QStringList { hotkey, outcome };
        QTest::newRow("at the limit") << qsizetype(0) << 0 << false << QStringList { outcome };
        QTest::newRow("over the limit")
            << qsizetype(1) << 0 << false << QStringList { hotkey, outcome };
    }
    void logAtItsSizeLimit()
    {
        QFETCH(qsizetype, beyond);
        QFETCH(int, linesShort);
        QFETCH(bool, kept);
        QFETCH(QStringList, written);
        App app(m_provider);
        QVERIFY(app.start());
        ClipboardOwner owner;
        QVERIFY(owner.set("not a link"));

        // The program opens the file for each line, so it finds this one at its next line.
        const qsizetype stamp = fileBytes(logFile()).indexOf(' ');
        QVERIFY(stamp > 0);
        const qsizetype hotkeyLine = stamp + qsizetype(sizeof " hotkey: newShrink\n") - 1;
        const QByteArray earlier = earlierLines(logLimit + beyond - linesShort * hotkeyLine);
        QVERIFY(writeFile(logFile(), earlier));
        QVERIFY(pressKeys({ u"ctrl+alt+shift+s"_s }));
        QVERIFY2(waitForLog(u"newShrink outcome: "_s), logDump());
        const QByteArray log = fileBytes(logFile());
        QCOMPARE(log.startsWith(earlier), kept);
        QCOMPARE(messagesOf(kept ? log.sliced(earlier.size()) : log), written);

        // Later lines go on by the same rule.
        QVERIFY(E2E::shrinks(m_provider, owner));
        QVERIFY2(waitForLog(u"newShrink outcome: copied"_s), logDump());
        QVERIFY(app.stop());
    }

private:
    bool shrinks()
    {
        ClipboardOwner owner;
        return E2E::shrinks(m_provider, owner);
    }

    // App::start() reads the log to know the program is up. Without one: the program answers on
    // the bus from its event loop, which runs once its shortcuts are registered. The answer it
    // gives opens the settings window.
    static bool startWithoutLog(App &app)
    {
        QProcess &process = app.process();
        process.setProcessEnvironment(app.environment());
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(App::program(), {});
        if (!process.waitForStarted(patienceMs))
            return false;
        const QDBusMessage openSettings = QDBusMessage::createMethodCall(serviceID,
            u"/app/ferrowick/Ferrowick"_s, u"app.ferrowick.Ferrowick"_s, u"OpenSettings"_s);
        return QTest::qWaitFor(
                   [&] {
                       return process.state() == QProcess::NotRunning ||
                           QDBusConnection::sessionBus()
                               .call(openSettings, QDBus::Block, patienceMs)
                               .type() == QDBusMessage::ReplyMessage;
                   },
                   patienceMs) &&
            process.state() == QProcess::Running;
    }

    FWTest::FakeProviderProcess m_provider;
};

QTEST_GUILESS_MAIN(LocalFaultsTest)
#include "LocalFaultsTest.moc"
