#include "SingleInstance.h"

#include "AppTestSupport.h"

#include <QTemporaryFile>

using namespace Ferrowick;
using namespace Qt::StringLiterals;

// Only an owner that answers makes a start a second one (that case is the end-to-end launch
// test's); otherwise the process runs without the guard rather than not at all.
class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }

    // A bus of its own whose policy forbids owning the name, as a sandbox's may.
    void refusedNameRunsUnguarded()
    {
        QTemporaryFile config;
        QVERIFY(config.open());
        config.write("<busconfig><include>/usr/share/dbus-1/session.conf</include>"
                     "<policy context=\"mandatory\"><deny own=\"" +
            SingleInstance::busName.toUtf8() + "\"/></policy></busconfig>");
        config.close();
        QProcess daemon;
        daemon.start(u"dbus-daemon"_s,
            { u"--nofork"_s, u"--print-address=1"_s, u"--config-file="_s + config.fileName() });
        QVERIFY(daemon.waitForReadyRead(10'000));
        const QString address = QString::fromUtf8(daemon.readLine().trimmed());
        QCOMPARE(SingleInstance(QDBusConnection::connectToBus(address, u"refusing"_s)).claim(),
            SingleInstance::Claim::unguarded);
        daemon.close();
    }

    void silentOwnerRunsUnguarded()
    {
        QVERIFY(QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"other"_s)
                    .registerService(SingleInstance::busName));
        QCOMPARE(SingleInstance().claim(), SingleInstance::Claim::unguarded);
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
