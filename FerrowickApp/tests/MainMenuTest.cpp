#include "ui/MainMenu.h"

#include "AppTestSupport.h"

#include <QSignalSpy>

using namespace Ferrowick;
using namespace FWKit;
using namespace Qt::StringLiterals;
using MaybeCombo = std::optional<FWKeyCombo>;

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
        QTest::newRow("in the table")
            << MaybeCombo({ 1, FWModifier::command | FWModifier::option | FWModifier::control })
            << u"Meta+Ctrl+Alt+S"_s << u"New Shrink"_s;
        // A menu cannot show it: the title does, in the library's notation.
        QTest::newRow("key outside the table") << MaybeCombo({ 200, FWModifier::command })
                                               << QString() << u"New Shrink (\u2318key#200)"_s;
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
        SKIP_OUTSIDE_HARNESS();
        FWTest::TestApp app;
        QVERIFY(app.storeCredentials(u"jane"_s, u"pw"_s));
        app.transport->answer(
            200, R"([{"batch":"scans"},{"batch":"holiday photos"},{"batch":"R&D"}])");
        AppContainer &container = app.build();
        MainMenu menu(container);
        QSignalSpy settings(&container, &AppContainer::settingsRequested);

        const auto titles = [](const QMenu *m) {
            QStringList result;
            for (const QAction *action : m->actions())
                result << (action->isSeparator() ? u"-"_s : action->text());
            return result;
        };
        QCOMPARE(titles(&menu),
            QStringList({ u"New Batch"_s, u"New Shrink"_s, u"New Paste"_s, u"Batches"_s, u"-"_s,
                u"Check for Updates\u2026"_s, u"Settings\u2026"_s, u"Quit"_s }));
        QCOMPARE(menu.actions().at(1)->shortcut().toString(), u"Ctrl+Alt+Shift+S"_s);
        QCOMPARE(menu.actions().at(6)->shortcut().toString(), u"Ctrl+,"_s);
        QMenu *batches = menu.actions().at(3)->menu();
        QVERIFY(batches->actions().isEmpty());

        QSignalSpy changed(&container.appModel(), &AppModel::batchesChanged);
        container.appModel().refreshBatches();
        QTRY_COMPARE(changed.size(), 1);
        QCOMPARE(titles(batches).size(), 3);
        // What the row shows: the name as it is, no mnemonic.
        QCOMPARE(batches->actions().at(2)->iconText(), u"R&D"_s);
        batches->actions().at(0)->trigger();
        QTRY_COMPARE(app.desktop.log, QStringList { u"open https://jane.ferrowick.app/scans"_s });
        // A name that makes no page: the model refuses, the settings window opens instead.
        batches->actions().at(1)->trigger();
        QCOMPARE(settings.size(), 1);

        // Re-recorded shortcuts rebuild the rows.
        FWHotkeyConfiguration next = container.hotkeyConfiguration();
        next.setCombo(FWHotkeyAction::newShrink, FWKeyCombo { 200, FWModifier::command });
        container.setHotkeyConfiguration(next);
        QCOMPARE(menu.actions().at(1)->text(), u"New Shrink (\u2318key#200)"_s);
        QVERIFY(menu.actions().at(1)->shortcut().isEmpty());
        QCOMPARE(menu.actions().at(3)->menu(), batches);
        QCOMPARE(batches->actions().size(), 3);
        QCOMPARE(menu.findChildren<QMenu *>().size(), 1);
    }
};

QTEST_MAIN(MainMenuTest)
#include "MainMenuTest.moc"
