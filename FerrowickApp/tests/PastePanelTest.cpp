// The paste panel and its form over a container of fakes (the keyring is the harness's own). Runs
// with and without openbox (scripts/headless --wm).
#include "ui/PastePanel.h"

#include "AppTestSupport.h"
#include "ui/PasteForm.h"
#include "ui/PastePanelController.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest/qtestspontaneevent.h>

using namespace Ferrowick;
using namespace Qt::StringLiterals;

class PastePanelTest : public QObject
{
    Q_OBJECT

    std::optional<FWTest::TestApp> m_app;
    std::unique_ptr<PastePanelController> m_panel;

private slots:
    // Each case starts with the panel open, "draft" typed.
    void init()
    {
        SKIP_OUTSIDE_HARNESS();
        m_panel.reset();
        m_app.emplace();
        AppContainer &container = m_app->build();
        QVERIFY(container.store().setLogin(u"jane"_s) && container.store().setPassword(u"pw"_s));
        container.setLanguages({ u"Plain Text"_s });
        m_app->transport->heldPathSuffix = u"/paste"_s;
        m_panel =
            std::make_unique<PastePanelController>(container.appModel(), container, m_app->desktop);
        m_panel->open();
        QTest::keyClicks(m_panel->form()->textArea(), u"draft"_s);
        QVERIFY(QTest::qWaitForWindowActive(m_panel->panel()));
    }

    void dismissals_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("shortcut again") << u"toggle"_s;
        QTest::newRow("Escape on the picker") << u"escape"_s;
        QTest::newRow("close button") << u"close"_s;
    }
    // Each hides the panel; the shortcut at once brings it back empty and with the keyboard, on
    // every desktop again (a hidden window is withdrawn, and window managers drop its state).
    void dismissals()
    {
        QFETCH(QString, how);
        QCloseEvent close; // as the window manager delivers it
        QSpontaneKeyEvent::setSpontaneous(&close);
        if (how == u"toggle"_s)
            m_panel->toggle();
        else if (how == u"close"_s)
            qApp->notify(m_panel->panel(), &close); // sendEvent would clear the flag
        else
            QTest::keyClick(m_panel->form()->languagePicker(), Qt::Key_Escape);
        QTRY_VERIFY(!m_panel->isVisible());
        m_panel->toggle();
        QVERIFY(m_panel->form()->textArea()->toPlainText().isEmpty());
        QTRY_VERIFY(m_panel->panel()->isActiveWindow());
        const auto desktop = FWTest::runTool(u"xprop"_s,
            { u"-id"_s, QString::number(m_panel->panel()->winId()), u"_NET_WM_DESKTOP"_s });
        QVERIFY2(desktop && desktop->contains("= 4294967295"), desktop.value_or("").data());
    }

    void submission_data()
    {
        QTest::addColumn<QByteArray>("answer"); // empty: the service is down
        QTest::addColumn<int>("hide"); // 0: not; 1: before the answer; 2: with its sheet up
        const QByteArray copied = R"({"type":"notice","url":"https://paste.ferrowick.app/aB3x"})";
        QTest::newRow("service down") << QByteArray() << 0;
        QTest::newRow("refused") << R"({"type":"error","result":"Paste too long"})"_ba << 0;
        QTest::newRow("hidden before the answer") << copied << 1;
        QTest::newRow("hidden with the sheet up") << copied << 2;
    }
    // One submission at a time; a failed one keeps the text. A panel hidden meanwhile takes the
    // answer with it: no sheet floats alone or comes back.
    void submission()
    {
        QFETCH(QByteArray, answer);
        QFETCH(int, hide);
        m_app->transport->answer(answer.isEmpty() ? 500 : 200, answer);
        const QPointer<PasteForm> form = m_panel->form();
        QTest::keyClick(form->textArea(), Qt::Key_Return, Qt::ControlModifier);
        QTest::keyClick(form->textArea(), Qt::Key_Return, Qt::ControlModifier);
        QTest::mouseClick(form->submitButton(), Qt::LeftButton);
        QTRY_COMPARE(m_app->transport->requests.size(), 1);
        const auto hideNow = [&] {
            m_panel->toggle();
            QTRY_VERIFY(!m_panel->isVisible());
        };
        if (hide == 1)
            hideNow();
        m_app->transport->gate.open();
        QTRY_VERIFY(!form->isSubmitting());
        if (hide == 2)
            hideNow();
        QTRY_COMPARE(form->sheet() != nullptr, !hide);
        QCOMPARE(m_app->transport->requests.size(), 1);
        if (!hide) {
            form->sheet()->accept();
            QTRY_COMPARE(QApplication::focusWidget(), form->textArea()); // back to typing
            QCOMPARE(form->textArea()->toPlainText(), u"draft"_s);
        }
    }
};

QTEST_MAIN(PastePanelTest)
#include "PastePanelTest.moc"
