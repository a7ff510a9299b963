#include "SingleInstance.h"

#include "AppTestSupport.h"

#include <QDBusConnectionInterface>
#include <QTemporaryDir>

using namespace Ferrowick;
using namespace Qt::StringLiterals;

namespace {

// A bus of its own whose policy forbids owning the program's name, as a sandbox's may.
class RefusingBus
{
public:
    bool start()
    {
        const QString config = m_folder.filePath(u"bus.conf"_s);
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(R"(<busconfig>
  <type>session</type>
  <listen>unix:dir=)" +
            m_folder.path().toUtf8() + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
    <allow own="*"/>
    <deny own="app.ferrowick.Ferrowick"/>
  </policy>
</busconfig>
)");
        file.close();
        m_daemon.start(u"dbus-daemon"_s,
            { u"--nofork"_s, u"--print-address=1"_s, u"--config-file="_s + config });
        if (!m_daemon.waitForReadyRead(10'000))
            return false;
        m_address = QString::fromUtf8(m_daemon.readLine().trimmed());
        return !m_address.isEmpty();
    }
    ~RefusingBus()
    {
        QDBusConnection::disconnectFromBus(u"refusing"_s);
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QDBusConnection connect() { return QDBusConnection::connectToBus(m_address, u"refusing"_s); }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
};

} // namespace

// The second start itself (an owner that answers) is the end-to-end launch test's.
class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }
    void init() { FWTest::clearLog(); }

    void refusedNameRunsUnguarded()
    {
        RefusingBus bus;
        QVERIFY(bus.start());
        SingleInstance instance(bus.connect());
        QCOMPARE(instance.claim(), SingleInstance::Claim::unguarded);
        QVERIFY2(FWTest::logLines().join(u'\n').contains(u"the bus refused the name"_s),
            qPrintable(FWTest::logLines().join(u'\n')));
    }

    void silentOwnerRunsUnguarded()
    {
        QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"o"_s);
        QVERIFY(other.registerService(SingleInstance::busName));
        SingleInstance instance;
        QCOMPARE(instance.claim(), SingleInstance::Claim::unguarded);
        other.unregisterService(SingleInstance::busName);
        QDBusConnection::disconnectFromBus(u"o"_s);
        QVERIFY(FWTest::logLines().join(u'\n').contains(u"the owner of the name did not answer"_s));
    }
};

QTEST_GUILESS_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
