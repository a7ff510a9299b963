#include "BrowserLauncher.h"

#include <QDesktopServices>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

using Ferrowick::BrowserLauncher;
using namespace Qt::StringLiterals;

// Stands in for the browser when QDesktopServices is told to hand a scheme to us.
class Receiver : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }
};

class BrowserLauncherTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: never the user's browser");
    }

    void handsOverAfterReturning()
    {
        Receiver receiver;
        QDesktopServices::setUrlHandler(u"ferrowick-test"_s, &receiver, "open");
        const QUrl url(u"ferrowick-test://page/a?b=1&c=%20#d"_s);

        BrowserLauncher launcher;
        launcher.open(url);
        QVERIFY(receiver.opened.isEmpty());
        QTRY_COMPARE(receiver.opened, QList { url });
        QDesktopServices::unsetUrlHandler(u"ferrowick-test"_s);
    }

    // The harness has no desktop environment, so xdg-open falls back to $BROWSER.
    void reachesTheBrowser()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString record = folder.filePath(u"opened"_s);
        const QString browser = folder.filePath(u"browser"_s);
        QFile script(browser);
        QVERIFY(script.open(QIODevice::WriteOnly));
        // Writes the URL it is given to `record`, all at once.
        script.write("#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" \"" +
            record.toUtf8() + "\"\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        qputenv("BROWSER", browser.toUtf8());
        // No desktop file on this machine may claim https before $BROWSER gets its turn.
        qputenv("XDG_DATA_DIRS", folder.path().toUtf8());

        const QUrl url(u"https://ferrowick.app/page?a=1&b=%3C2%3E#top"_s);
        BrowserLauncher launcher;
        launcher.open(url);
        QVERIFY(!QFile::exists(record));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 20'000);
        QFile opened(record);
        QVERIFY(opened.open(QIODevice::ReadOnly));
        QCOMPARE(opened.readAll(), url.toEncoded());
    }
};

QTEST_MAIN(BrowserLauncherTest)
#include "BrowserLauncherTest.moc"
