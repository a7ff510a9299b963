#include "update/UpdaterActivation.h"

#include "AppActivation.h"

#include <QTest>

using namespace Ferrowick;
using Policy = AppActivation::Policy;

class UpdaterActivationTest : public QObject
{
    Q_OBJECT

private slots:
    void sessionReturnsToAccessoryUnlessSettingsAreOpen_data()
    {
        QTest::addColumn<bool>("settingsOpen");
        QTest::addColumn<bool>("dialogShown");
        QTest::addColumn<Policy>("afterSession");

        QTest::newRow("settings closed") << false << true << Policy::Accessory;
        QTest::newRow("settings open") << true << true << Policy::Regular;
        QTest::newRow("nothing shown") << false << false << Policy::Accessory;
    }

    void sessionReturnsToAccessoryUnlessSettingsAreOpen()
    {
        QFETCH(bool, settingsOpen);
        QFETCH(bool, dialogShown);
        QFETCH(Policy, afterSession);

        AppActivation::setSettingsOpen(settingsOpen);
        AppActivation::setPolicy(settingsOpen ? Policy::Regular : Policy::Accessory);
        UpdaterActivation activation;
        if (dialogShown) {
            activation.willShowModalAlert();
            QVERIFY(AppActivation::updaterSessionActive());
            QCOMPARE(AppActivation::policy(), Policy::Regular);
        }
        activation.willFinishUpdateSession();
        QVERIFY(!AppActivation::updaterSessionActive());
        QCOMPARE(AppActivation::policy(), afterSession);
        QCOMPARE(AppActivation::settingsOpen(), settingsOpen);
    }
};

QTEST_GUILESS_MAIN(UpdaterActivationTest)
#include "UpdaterActivationTest.moc"
