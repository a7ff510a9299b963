#include "ui/MainMenu.h"

#include "AppContainer.h"
#include "FakeDesktop.h"
#include "FakeHotkeyBackend.h"
#include "FakePreferences.h"
#include "FakeTransport.h"
#include "platform/SecretServiceKeychain.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace Ferrowick;
using namespace FWKit;
using namespace Qt::StringLiterals;
using MaybeCombo = std::optional<FWKeyCombo>;

namespace {
constexpr std::uint32_t commandOptionShift =
    FWModifier::command | FWModifier::option | FWModifier::shift;
}

class MainMenuTest : public QObject
{
    Q_OBJECT

private slots:
    void rows_data()
    {
        QTest::addColumn<MaybeCombo>("combo");
        QTest::addColumn<QString>("keys"); // portable text; empty: no key equivalent
        QTest::addColumn<QString>("title");

        QTest::newRow("no shortcut") << MaybeCombo() << QString() << u"New Shrink"_s;
        QTest::newRow("letter") << MaybeCombo({ 1, commandOptionShift }) << u"Ctrl+Alt+Shift+S"_s
                                << u"New Shrink"_s;
        QTest::newRow("Control-F5")
            << MaybeCombo({ 96, FWModifier::control }) << u"Meta+F5"_s << u"New Shrink"_s;
        QTest::newRow("space by key code")
            << MaybeCombo({ 49, FWModifier::command }) << u"Ctrl+Space"_s << u"New Shrink"_s;
        QTest::newRow("forward delete")
            << MaybeCombo({ 117, FWModifier::option }) << u"Alt+Del"_s << u"New Shrink"_s;
        QTest::newRow("punctuation")
            << MaybeCombo({ 43, FWModifier::command }) << u"Ctrl+,"_s << u"New Shrink"_s;
        QTest::newRow("key outside the table") << MaybeCombo({ 200, FWModifier::command })
                                               << QString() << u"New Shrink (\u2318key#200)"_s;
        QTest::newRow("keypad key") << MaybeCombo({ 82, FWModifier::command }) << QString()
                                    << u"New Shrink (\u2318key#82)"_s;
    }
    void rows()
    {
        QFETCH(MaybeCombo, combo);
        QFETCH(QString, keys);
        QFETCH(QString, title);
        const auto shortcut = MainMenu::shortcut(combo);
        QCOMPARE(shortcut ? shortcut->toString(QKeySequence::PortableText) : QString(), keys);
        QCOMPARE(MainMenu::rowTitle(u"New Shrink"_s, combo), title);
    }

    void menuFollowsTheContainer()
    {
        if (qEnvironmentVariable("FERROWICK_HARNESS") != u"1"_s)
            QSKIP("only in the headless harness: never the user's keyring");
        SecretServiceKeychain keychain;
        KeychainCredentialStore(keychain, AppContainer::serviceID).setLogin(u"jane"_s);
        KeychainCredentialStore(keychain, AppContainer::serviceID).setPassword(u"pw"_s);
        FWTest::FakePreferences preferences;
        FWTest::FakeDesktop desktop;
        FWTest::FakeHotkeyBackend backend;
        auto transport = std::make_shared<FWTest::FakeTransport>();
        transport->answer(200, R"([{"batch":"scans"},{"batch":"holiday photos"}])");
        AppContainer container({ preferences, keychain, transport, desktop, desktop, desktop,
            backend, ServiceURLs::production(), false });
        MainMenu menu(container);
        QSignalSpy settings(&container, &AppContainer::settingsRequested);

        const auto titles = [](const QMenu *m) {
            QStringList result;
            for (const QAction *action : m->actions())
                result << (action->isSeparator() ? u"-"_s : action->text());
            return result;
        };
        const QStringList rows { u"New Batch"_s, u"New Shrink"_s, u"New Paste"_s, u"Batches"_s,
            u"-"_s, u"Check for Updates\u2026"_s, u"Settings\u2026"_s, u"Quit"_s };
        QCOMPARE(titles(&menu), rows);
        QCOMPARE(menu.actions().at(1)->shortcut().toString(), u"Ctrl+Alt+Shift+S"_s);
        QCOMPARE(menu.actions().at(6)->shortcut().toString(), u"Ctrl+,"_s);
        QMenu *batches = menu.actions().at(3)->menu();
        QVERIFY(batches->actions().isEmpty());

        refreshBatches(container);
        QCOMPARE(titles(batches), QStringList({ u"scans"_s, u"holiday photos"_s }));
        batches->actions().at(0)->trigger();
        QTRY_COMPARE(desktop.log, QStringList { u"open https://jane.ferrowick.app/scans"_s });
        // A name that makes no page: the model refuses, the settings window opens instead.
        batches->actions().at(1)->trigger();
        QCOMPARE(settings.size(), 1);

        // Re-recorded shortcuts rebuild the rows.
        FWHotkeyConfiguration next = container.hotkeyConfiguration();
        next.setCombo(FWHotkeyAction::newShrink, FWKeyCombo { 200, FWModifier::command });
        container.setHotkeyConfiguration(next);
        QCOMPARE(menu.actions().at(1)->text(), u"New Shrink (\u2318key#200)"_s);
        QVERIFY(menu.actions().at(1)->shortcut().isEmpty());
    }

private:
    static void refreshBatches(AppContainer &container)
    {
        QSignalSpy changed(&container.appModel(), &AppModel::batchesChanged);
        container.appModel().refreshBatches();
        QTRY_COMPARE(changed.size(), 1);
    }
};

QTEST_MAIN(MainMenuTest)
#include "MainMenuTest.moc"
