// The container over fakes, except for the keyring: the harness's gnome-keyring holds the
// credentials, as it does for the program.
#include "AppContainer.h"

#include "DebugLog.h"
#include "FakeDesktop.h"
#include "FakeHotkeyBackend.h"
#include "FakePreferences.h"
#include "FakeTransport.h"
#include "platform/SecretServiceKeychain.h"

#include <FWKit/CredentialMigration.h>
#include <FWKit/FWHotkeys.h>

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Ferrowick;
using namespace FWKit;
using namespace FWTest;
using namespace Qt::StringLiterals;

namespace {

QStringList logLines()
{
    DebugLog::flush();
    QFile file(DebugLog::filePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (!line.isEmpty())
            lines << QString::fromUtf8(line.mid(21));
    return lines;
}

QStringList paths(const QList<HTTPRequest> &requests)
{
    QStringList result;
    for (const HTTPRequest &request : requests)
        result << request.url.path();
    return result;
}

} // namespace

class AppContainerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: never the user's keyring");
    }

    void init()
    {
        for (const QString &account : { u"login"_s, u"password"_s })
            m_keychain.deleteMatching(
                { { KeychainAttribute::itemClass, KeychainAttribute::genericPassword },
                    { KeychainAttribute::service, AppContainer::serviceID },
                    { KeychainAttribute::account, account } });
        QFile::remove(DebugLog::filePath());
        m_preferences = FakePreferences();
        m_transport = std::make_shared<FakeTransport>();
        m_desktop = FakeDesktop();
        m_backend = std::make_unique<FakeHotkeyBackend>();
    }

    void launch_data()
    {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("complete");
        QTest::newRow("both") << u"jane"_s << u"pw"_s << true;
        QTest::newRow("empty password") << u"jane"_s << QString() << false;
        QTest::newRow("nothing stored") << QString() << QString() << false;
    }
    void launch()
    {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QFETCH(bool, complete);
        // Stored the way an older version left them: the container migrates them first.
        if (!login.isNull())
            m_preferences.setString(CredentialMigration::legacyLoginKey, login);
        if (!password.isNull())
            m_preferences.setString(CredentialMigration::legacyPasswordKey, password);
        m_transport->answer(200, R"([{"batch":"scans"}])");
        m_transport->answer(200, R"(["Plain Text","C++"])");

        auto container = makeContainer();
        QSignalSpy settings(container.get(), &AppContainer::settingsRequested);
        QSignalSpy languages(container.get(), &AppContainer::languagesChanged);
        container->launch();

        QCOMPARE(logLines().value(0),
            u"launch: hasCredentials="_s + (complete ? u"true"_s : u"false"_s));
        QCOMPARE(settings.size(), complete ? 0 : 1);
        QCOMPARE(container->hotkeyRefs().size(), 4);
        if (complete) {
            QTRY_COMPARE(container->languages(), QStringList({ u"Plain Text"_s, u"C++"_s }));
            QCOMPARE(languages.size(), 1);
            QCOMPARE(paths(m_transport->requests),
                QStringList({ u"/api/list/jane"_s, u"/api/valid_languages"_s }));
        }
    }

    void failedLanguagesKeepTheCache()
    {
        storeCredentials();
        m_transport->answer(200, "[]");
        m_transport->answer(500, "");
        auto container = makeContainer();
        container->launch();
        QTRY_COMPARE(m_transport->requests.size(), 2);
        QVERIFY(container->languages().isEmpty());
    }

    void pressesReachTheDispatcher()
    {
        auto container = makeContainer();
        QSignalSpy settings(container.get(), &AppContainer::settingsRequested);
        QSignalSpy paste(container.get(), &AppContainer::pasteToggleRequested);
        container->launch();
        settings.clear();

        const auto press = [&](FWHotkeyAction action) {
            m_backend->press(
                FWHotkeys::descriptors(FWHotkeyConfiguration::defaults()).at(action).signature,
                rawValue(action));
        };
        press(FWHotkeyAction::togglePaste);
        press(FWHotkeyAction::togglePaste);
        QTRY_COMPARE(paste.size(), 2);

        // No login: the batch page cannot be opened, the settings window is asked for instead.
        press(FWHotkeyAction::newBatch);
        QTRY_COMPARE(settings.size(), 1);
        storeCredentials();
        press(FWHotkeyAction::newBatch);
        QTRY_COMPARE(m_desktop.log, QStringList { u"open https://jane.ferrowick.app/upload"_s });
        QCOMPARE(settings.size(), 1);

        QVERIFY(logLines().contains(u"hotkey: togglePaste"_s));
        QVERIFY(logLines().contains(u"hotkey: newBatch"_s));
    }

    void applyHotkeys_data()
    {
        QTest::addColumn<bool>("refuseOne");
        QTest::addColumn<bool>("dropSave");
        QTest::addColumn<bool>("applied");
        QTest::newRow("all registered and saved") << false << false << true;
        QTest::newRow("one refused") << true << false << false;
        QTest::newRow("save fails") << false << true << false;
    }
    void applyHotkeys()
    {
        QFETCH(bool, refuseOne);
        QFETCH(bool, dropSave);
        QFETCH(bool, applied);
        auto container = makeContainer();
        container->launch();
        const FWHotkeyConfiguration before = container->hotkeyConfiguration();
        QSignalSpy changed(container.get(), &AppContainer::hotkeyConfigurationChanged);

        FWHotkeyConfiguration next = before;
        const FWKeyCombo k { 40, FWModifier::command | FWModifier::option };
        next.setCombo(FWHotkeyAction::newShrink, k);
        if (refuseOne)
            m_backend->refused.insert(k);
        m_preferences.dropWrites = dropSave;

        QCOMPARE(container->applyHotkeys(next), applied);
        const FWHotkeyConfiguration expected = applied ? next : before;
        QCOMPARE(container->hotkeyConfiguration() == expected, true);
        QCOMPARE(changed.size(), applied ? 1 : 0);
        // The system holds exactly the configuration that is shown, nothing else.
        QCOMPARE(m_backend->registered.size(), 4);
        QCOMPARE(container->hotkeyRefs().size(), 4);
        for (const auto &[action, descriptor] : FWHotkeys::descriptors(expected))
            QVERIFY(m_backend->registered.values().contains(descriptor));

        // The same configuration again: accepted, and nobody is told about a change.
        changed.clear();
        QVERIFY(container->applyHotkeys(container->hotkeyConfiguration()) || dropSave);
        QCOMPARE(changed.size(), 0);
    }

private:
    std::unique_ptr<AppContainer> makeContainer()
    {
        return std::make_unique<AppContainer>(AppServices {
            .preferences = m_preferences,
            .keychain = m_keychain,
            .transport = m_transport,
            .pasteboard = m_desktop,
            .notifier = m_desktop,
            .browser = m_desktop,
            .hotkeys = *m_backend,
            .urls = ServiceURLs::production(),
            .automaticUpdateChecks = false,
        });
    }

    void storeCredentials()
    {
        KeychainCredentialStore store(m_keychain, AppContainer::serviceID);
        QVERIFY(store.setLogin(u"jane"_s) && store.setPassword(u"pw"_s));
    }

    SecretServiceKeychain m_keychain;
    FakePreferences m_preferences;
    std::shared_ptr<FakeTransport> m_transport;
    FakeDesktop m_desktop;
    std::unique_ptr<FakeHotkeyBackend> m_backend;
};

QTEST_GUILESS_MAIN(AppContainerTest)
#include "AppContainerTest.moc"
