// The panel's window: how it is made, shown, dismissed and kept, and what the window manager
// makes of it. Runs with and without openbox (scripts/headless --wm).
#include "ui/PastePanel.h"

#include "AppTestSupport.h"
#include "ui/PasteForm.h"
#include "ui/PastePanelController.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QScreen>

#include <cstring>
#include <xcb/xcb.h>

using namespace Ferrowick;
using namespace Qt::StringLiterals;

namespace {

// What an outside X client sees.
QString run(const QString &program, const QStringList &arguments)
{
    return QString::fromUtf8(FWTest::runTool(program, arguments).value_or(QByteArray()));
}

// What the title bar's close button makes the window manager send.
void closeFromWindowManager(QWidget *window)
{
    xcb_connection_t *connection =
        qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const auto atom = [connection](const char *name) {
        xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
        const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return value;
    };
    xcb_client_message_event_t message {};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = xcb_window_t(window->winId());
    message.type = atom("WM_PROTOCOLS");
    message.data.data32[0] = atom("WM_DELETE_WINDOW");
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, message.window, XCB_EVENT_MASK_NO_EVENT,
        reinterpret_cast<const char *>(&message));
    xcb_flush(connection);
}

} // namespace

class PastePanelTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        SKIP_OUTSIDE_HARNESS();
        m_controller = std::make_unique<PastePanelController>(m_app.emplace().build());
        m_panel = m_controller->panel();
    }

    void cleanup()
    {
        m_controller->close();
        QTRY_VERIFY(!m_panel->isVisible());
    }

    void window()
    {
        QVERIFY(!m_panel->isVisible());
        QVERIFY(m_panel->windowFlags().testFlags(Qt::Tool | Qt::WindowStaysOnTopHint));
        QCOMPARE(m_panel->size(), QSize(640, 460));

        m_controller->open();
        QTRY_COMPARE(m_panel->windowOpacity(), 1.0);
        QTRY_VERIFY(m_panel->isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), m_controller->form()->textArea());
        const QPoint offCentre =
            m_panel->geometry().center() - m_panel->screen()->availableGeometry().center();
        QVERIFY(offCentre.manhattanLength() <= 2);
        m_panel->resize(300, 200);
        QCOMPARE(m_panel->size(), QSize(520, 380));
        m_panel->resize(640, 460);
    }

    void toggleHidesAndRenewsTheForm()
    {
        m_controller->toggle();
        QTRY_VERIFY(m_panel->isActiveWindow());
        const QPointer<PasteForm> first = m_controller->form();
        QTest::keyClicks(first->textArea(), u"draft"_s);

        m_controller->toggle();
        QVERIFY(m_controller->isVisible()); // fading out: a toggle now closes again
        m_controller->toggle();
        QTRY_VERIFY(!m_panel->isVisible());
        m_controller->close(); // hidden: nothing to do
        QVERIFY(!m_panel->isVisible());

        m_controller->toggle();
        QCOMPARE(m_controller->panel(), m_panel);
        QVERIFY(!first);
        QVERIFY(m_controller->form()->textArea()->toPlainText().isEmpty());
        // Reopened at once: it still gets the keyboard.
        QTRY_VERIFY(m_panel->isActiveWindow());
    }

    void dismissals_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape in the text") << u"text"_s;
        QTest::newRow("Escape on the picker") << u"picker"_s;
        QTest::newRow("close button") << u"close"_s;
    }
    void dismissals()
    {
        QFETCH(QString, how);
        m_controller->open();
        QTRY_VERIFY(m_panel->isActiveWindow());
        PasteForm *form = m_controller->form();
        if (how == u"close"_s) {
            closeFromWindowManager(m_panel);
        } else {
            QWidget *target = how == u"text"_s ? static_cast<QWidget *>(form->textArea())
                                               : form->languagePicker();
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Escape);
        }
        QTRY_VERIFY(!m_panel->isVisible());
        QCOMPARE(m_controller->panel(), m_panel);
    }

    void onEveryDesktop()
    {
        const bool openbox = qEnvironmentVariable("FERROWICK_WM") == u"openbox"_s;
        // Twice: a hidden window is withdrawn, and window managers drop its state then.
        for (int opening = 0; opening < 2; ++opening) {
            m_controller->open();
            QTRY_VERIFY(m_panel->isActiveWindow());
            const QString id = QString::number(m_panel->winId());
            const QString properties =
                run(u"xprop"_s, { u"-id"_s, id, u"_NET_WM_STATE"_s, u"_NET_WM_DESKTOP"_s });
            QVERIFY2(properties.contains(u"_NET_WM_DESKTOP(CARDINAL) = 4294967295"_s),
                qPrintable(properties));
            QVERIFY2(properties.contains(u"_NET_WM_STATE_ABOVE"_s), qPrintable(properties));
            if (!openbox) {
                // Our request as it stands for the next window manager to read.
                QVERIFY2(properties.contains(u"_NET_WM_STATE_STICKY"_s), qPrintable(properties));
            } else {
                // openbox keeps "all desktops" in _NET_WM_DESKTOP alone; what counts is that the
                // panel stays on screen on another desktop.
                for (const QString &desktop : { u"2"_s, u"0"_s }) {
                    run(u"xdotool"_s, { u"set_desktop"_s, desktop });
                    QTRY_COMPARE(run(u"xdotool"_s, { u"get_desktop"_s }).trimmed(), desktop);
                    QVERIFY(
                        run(u"xwininfo"_s, { u"-id"_s, id }).contains(u"Map State: IsViewable"_s));
                }
            }
            cleanup();
        }
    }

private:
    std::optional<FWTest::TestApp> m_app;
    std::unique_ptr<PastePanelController> m_controller;
    PastePanel *m_panel = nullptr;
};

QTEST_MAIN(PastePanelTest)
#include "PastePanelTest.moc"
