// The container over fakes, except for the keyring: the harness's gnome-keyring holds the
// credentials, as it does for the program.
#include "AppContainer.h"

#include "AppTestSupport.h"

#include <FWKit/Credentials.h>

#include <QSignalSpy>

using namespace Ferrowick;
using namespace FWKit;
using namespace FWTest;
using namespace Qt::StringLiterals;

class AppContainerTest : public QObject
{
    Q_OBJECT

    std::optional<TestApp> m_app;

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }
    void init()
    {
        clearLog();
        m_app.emplace();
    }
    void cleanup() { m_app.reset(); }

    void launch_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("languagesStatus");
        QTest::addColumn<QStringList>("languages"); // after the launch; "cached" before it
        QTest::addColumn<bool>("complete");
        const QStringList loaded { u"Plain Text"_s, u"C++"_s };
        const QStringList cached { u"cached"_s };
        QTest::newRow("both") << u"jane"_s << u"pw"_s << 200 << loaded << true;
        QTest::newRow("languages fail: the cache stays")
            << u"jane"_s << u"pw"_s << 500 << cached << true;
        QTest::newRow("empty password") << u"jane"_s << QString() << 200 << cached << false;
        QTest::newRow("nothing stored") << QString() << QString() << 200 << cached << false;
    }
    void launch()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(int, languagesStatus);
        QFETCH(QStringList, languages);
        QFETCH(bool, complete);
        // Stored the way an older version left them: the container migrates them first.
        if (!login.isNull())
            m_app->preferences.setString(CredentialMigration::legacyLoginKey, login);
        if (!password.isNull())
            m_app->preferences.setString(CredentialMigration::legacyPasswordKey, password);
        m_app->transport->answer(200, R"([{"batch":"scans"}])");
        m_app->transport->answer(languagesStatus, R"(["Plain Text","C++"])");

        AppContainer &container = m_app->build();
        container.setLanguages({ u"cached"_s });
        QSignalSpy settings(&container, &AppContainer::settingsRequested);
        QSignalSpy languagesChanged(&container, &AppContainer::languagesChanged);
        container.launch();

        QCOMPARE(logLines().value(0),
            u"launch: hasCredentials="_s + (complete ? u"true"_s : u"false"_s));
        QCOMPARE(settings.size(), complete ? 0 : 1);
        QCOMPARE(container.hotkeyRefs().size(), 4);
        if (complete) {
            QTRY_COMPARE(m_app->transport->requests.size(), 2);
            QCOMPARE(m_app->transport->requests[0].url.path(), u"/api/list/jane"_s);
            QCOMPARE(m_app->transport->requests[1].url.path(), u"/api/valid_languages"_s);
            QTRY_COMPARE(container.languages(), languages);
            QCOMPARE(languagesChanged.size(), languages.contains(u"cached"_s) ? 0 : 1);
        }
    }

    void pressesReachTheDispatcher()
    {
        AppContainer &container = m_app->build();
        QSignalSpy settings(&container, &AppContainer::settingsRequested);
        QSignalSpy paste(&container, &AppContainer::pasteToggleRequested);
        container.launch();
        settings.clear();

        const auto press = [&](FWHotkeyAction action) {
            m_app->hotkeys.press(
                FWHotkeys::descriptors(FWHotkeyConfiguration::defaults()).at(action).signature,
                rawValue(action));
        };
        press(FWHotkeyAction::togglePaste);
        QTRY_COMPARE(paste.size(), 1);
        // No login: the batch page cannot be opened, the settings window is asked for instead.
        press(FWHotkeyAction::newBatch);
        QTRY_COMPARE(settings.size(), 1);
        QVERIFY(m_app->storeCredentials(u"jane"_s, u"pw"_s));
        press(FWHotkeyAction::newBatch);
        QTRY_COMPARE(
            m_app->desktop.log, QStringList { u"open https://jane.ferrowick.app/upload"_s });
        QCOMPARE(settings.size(), 1);
        QVERIFY(logLines().contains(u"hotkey: newBatch"_s));
    }

    void applyHotkeys_data()
    {
        QTest::addColumn<bool>("refuseOne");
        QTest::addColumn<bool>("dropSave");
        QTest::newRow("all registered and saved") << false << false;
        QTest::newRow("one refused") << true << false;
        QTest::newRow("save fails") << false << true;
    }
    void applyHotkeys()
    {
        QFETCH(bool, refuseOne);
        QFETCH(bool, dropSave);
        const bool applied = !refuseOne && !dropSave;
        AppContainer &container = m_app->build();
        container.launch();
        const FWHotkeyConfiguration before = container.hotkeyConfiguration();
        QSignalSpy changed(&container, &AppContainer::hotkeyConfigurationChanged);

        FWHotkeyConfiguration next = before;
        const FWKeyCombo k { 40, FWModifier::command | FWModifier::option };
        next.setCombo(FWHotkeyAction::newShrink, k);
        if (refuseOne)
            m_app->hotkeys.refused.insert(k);
        m_app->preferences.dropWrites = dropSave;

        QCOMPARE(container.applyHotkeys(next), applied);
        const FWHotkeyConfiguration expected = applied ? next : before;
        QVERIFY(container.hotkeyConfiguration() == expected);
        QCOMPARE(changed.size(), applied ? 1 : 0);
        // The system holds exactly the configuration that is shown, nothing else.
        QCOMPARE(m_app->hotkeys.registered.size(), 4);
        QCOMPARE(container.hotkeyRefs().size(), 4);
        for (const auto &[action, descriptor] : FWHotkeys::descriptors(expected))
            QVERIFY(m_app->hotkeys.registered.values().contains(descriptor));

        // The same configuration again: nobody is told about a change.
        changed.clear();
        QCOMPARE(container.applyHotkeys(container.hotkeyConfiguration()), !dropSave);
        QCOMPARE(changed.size(), 0);
    }
};

QTEST_GUILESS_MAIN(AppContainerTest)
#include "AppContainerTest.moc"
