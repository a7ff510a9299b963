// The container over fakes, except for the keyring: the harness's gnome-keyring holds the
// credentials, as it does for the program.
#include "AppContainer.h"

#include "AppTestSupport.h"
#include "FWTestSupport.h"

#include <FWKit/Credentials.h>

#include <QSignalSpy>

using namespace Ferrowick;
using namespace FWKit;
using namespace Qt::StringLiterals;

class AppContainerTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }

    void launch_data()
    {
        QTest::addColumn<QString>("password"); // null: only the login is stored
        QTest::addColumn<QString>("failure"); // of new shortcuts afterwards; null: none
        QTest::newRow("stored; shortcuts applied") << u"pw"_s << QString();
        QTest::newRow("no password; a shortcut refused") << QString() << u"refused"_s;
        QTest::newRow("stored; shortcuts not saved") << u"pw"_s << u"not saved"_s;
    }
    // Stored the way an older version left them: the container migrates them before it looks.
    // Then the shortcuts are the dispatcher's, and the system holds exactly those in effect.
    void launch()
    {
        QFETCH(QString, password);
        QFETCH(QString, failure);
        FWTest::TestApp app;
        app.preferences.setString(CredentialMigration::legacyLoginKey, u"jane"_s);
        if (!password.isNull())
            app.preferences.setString(CredentialMigration::legacyPasswordKey, password);
        AppContainer &container = app.build();
        QSignalSpy settings(&container, &AppContainer::settingsRequested);
        QSignalSpy pasteToggles(&container, &AppContainer::pasteToggleRequested);
        container.launch();
        QCOMPARE(settings.size(), password.isNull() ? 1 : 0);
        const FWHotkeyConfiguration before = container.hotkeyConfiguration();
        const auto paste = FWHotkeys::descriptors(before).at(FWHotkeyAction::togglePaste);
        app.hotkeys.press(paste.signature, rawValue(FWHotkeyAction::togglePaste));
        QTRY_COMPARE(pasteToggles.size(), 1);

        FWHotkeyConfiguration next = before;
        const FWKeyCombo combo { 40, FWModifier::command | FWModifier::option };
        next.setCombo(FWHotkeyAction::newShrink, combo);
        if (failure == u"refused"_s)
            app.hotkeys.refused.insert(combo);
        app.preferences.dropWrites = failure == u"not saved"_s;
        QCOMPARE(container.applyHotkeys(next), failure.isNull());
        QVERIFY(container.hotkeyConfiguration() == (failure.isNull() ? next : before));
        QCOMPARE(app.hotkeys.registered.size(), 4);
        for (const auto &[action, descriptor] :
            FWHotkeys::descriptors(container.hotkeyConfiguration()))
            QVERIFY(app.hotkeys.registered.values().contains(descriptor));
    }

    // Loaded once for every form; a failed load is not kept, so the next form asks again.
    void pasteLanguagesAreKept()
    {
        FWTest::TestApp app;
        AppContainer &container = app.build();
        app.transport->fail(FWError::transport(u"down"_s));
        app.transport->answer(200, R"(["C","Plain Text"])");
        QCOMPARE(FWTest::waitFor(container.pasteLanguages()), QStringList());
        const QStringList languages { u"C"_s, u"Plain Text"_s };
        QCOMPARE(FWTest::waitFor(container.pasteLanguages()), languages);
        QCOMPARE(FWTest::waitFor(container.pasteLanguages()), languages);
        QCOMPARE(app.transport->requests.size(), 2);
    }

    // A locked keyring hides the credentials: no settings window, no request until the desktop's
    // prompt has unlocked it; then the credentials are read again.
    void lockedKeyringWaitsForTheUnlock_data()
    {
        QTest::addColumn<bool>("stored");
        QTest::newRow("credentials behind the lock") << true;
        QTest::newRow("nothing behind the lock") << false;
    }
    void lockedKeyringWaitsForTheUnlock()
    {
        QFETCH(bool, stored);
        struct Lock final : KeyringLock
        {
            bool locked = true;
            bool isLocked() const override { return locked; }
        } lock;
        FWTest::TestApp app;
        app.keyringLock = &lock;
        AppContainer &container = app.build();
        if (stored)
            QVERIFY(
                container.store().setLogin(u"jane"_s) && container.store().setPassword(u"pw"_s));
        QSignalSpy settings(&container, &AppContainer::settingsRequested);
        container.launch();
        QCoreApplication::processEvents();
        QCOMPARE(settings.size(), 0);
        QCOMPARE(app.transport->requests.size(), 0);

        lock.locked = false;
        emit lock.unlocked();
        QCOMPARE(settings.size(), stored ? 0 : 1);
        // The batches when there is a login, and the paste languages.
        QTRY_COMPARE(app.transport->requests.size(), stored ? 2 : 1);
    }
};

QTEST_GUILESS_MAIN(AppContainerTest)
#include "AppContainerTest.moc"
