// The paste form in the real panel, over a container of fakes (the keyring is the harness's own).
// FERROWICK_SCREENSHOTS=<folder> also saves pictures of it in a light and a dark palette.
#include "ui/PasteForm.h"

#include "AppTestSupport.h"
#include "ui/PastePanel.h"
#include "ui/PastePanelController.h"

#include <FWKit/Outcomes.h>

#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleFactory>

using namespace Ferrowick;
using namespace FWKit;
using namespace Qt::StringLiterals;

namespace {

const QString pasteURL = u"https://paste.ferrowick.app/aB3x"_s;
const QByteArray copied = R"({"type":"notice","url":"https://paste.ferrowick.app/aB3x"})";
const QString copiedSheet = NoticeCopy::formatted(NoticeCopy::pasteCopied, pasteURL);

QStringList entries(const QComboBox *picker)
{
    QStringList result;
    for (int i = 0; i < picker->count(); ++i)
        result << picker->itemText(i);
    return result;
}

QString sheetText(const PasteForm *form)
{
    return form->sheet() ? form->sheet()->findChild<QLabel *>()->text() : QString();
}

} // namespace

class PasteFormTest : public QObject
{
    Q_OBJECT

    std::optional<FWTest::TestApp> m_app;
    std::unique_ptr<PastePanelController> m_controller;

    PasteForm *open()
    {
        m_controller->open();
        [&] { QTRY_VERIFY(m_controller->panel()->isActiveWindow()); }();
        return m_controller->form();
    }

    // Submits with the paste request held at the transport until the gate opens.
    void submitHeld(PasteForm *form)
    {
        const qsizetype sent = m_app->transport->requests.size();
        if (form->textArea()->toPlainText().isEmpty())
            form->textArea()->setPlainText(u"draft"_s);
        form->submit();
        QTRY_COMPARE(m_app->transport->requests.size(), sent + 1);
    }

private slots:
    void initTestCase() { SKIP_OUTSIDE_HARNESS(); }

    void init()
    {
        m_app.emplace();
        QVERIFY(m_app->storeCredentials(u"jane"_s, u"pw"_s));
        m_controller = std::make_unique<PastePanelController>(m_app->build());
    }

    void cleanup()
    {
        m_controller.reset();
        m_app.reset();
    }

    void languages_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("offered");
        const QStringList dash { PasteForm::noLanguage };
        QTest::newRow("loaded") << 200 << QByteArray(R"(["Plain Text","C++"])")
                                << QStringList { u"Plain Text"_s, u"C++"_s };
        QTest::newRow("service fails") << 500 << QByteArray() << dash;
        QTest::newRow("empty list") << 200 << QByteArray("[]") << dash;
    }
    void languages()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, offered);
        const bool loaded = offered.size() > 1;
        FWTest::FakeTransport &transport = *m_app->transport;
        transport.heldPathSuffix = u"/valid_languages"_s;
        transport.answer(status, answer);
        transport.answer(status, answer);
        PasteForm *form = open();
        QTRY_COMPARE(transport.requests.size(), 1);
        QCOMPARE(entries(form->languagePicker()), QStringList { PasteForm::noLanguage });
        QVERIFY(!form->languagePicker()->isEnabled());
        transport.gate.open();
        QTRY_COMPARE(entries(form->languagePicker()), offered);
        QCOMPARE(form->languagePicker()->isEnabled(), loaded);
        QVERIFY(form->submitButton()->isEnabled());

        // Only a list that arrived is kept, and then nobody asks again.
        m_controller->close();
        QTRY_VERIFY(!m_controller->isVisible());
        open();
        QTRY_COMPARE(transport.requests.size(), loaded ? 1 : 2);
        transport.gate.open();
        const QString notice = NoticeCopy::title + u": "_s + NoticeCopy::apiIssue;
        QTRY_COMPARE(m_app->desktop.log, loaded ? QStringList() : QStringList(2, notice));
        QTRY_COMPARE(entries(m_controller->form()->languagePicker()), offered);
    }

    void submit_data()
    {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("sent"); // the paste request's body; empty: none sent
        QTest::addColumn<QString>("sheet"); // empty: no sheet
        QTest::addColumn<bool>("hides");

        const QString code = u"int main() {}\n"_s;
        const QByteArray body = "language=C%2B%2B&paste=int%20main%28%29%20%7B%7D%0A";
        QTest::newRow("copied, Ctrl+Return in the text")
            << true << code << u"ctrl+return"_s << 200 << copied << body << copiedSheet << true;
        QTest::newRow("refused, Return on the picker")
            << true << code << u"return"_s << 200
            << QByteArray(R"({"type":"error","result":"Paste too long"})") << body
            << u"Paste too long"_s << false;
        QTest::newRow("service down") << true << code << u"click"_s << 500 << QByteArray() << body
                                      << NoticeCopy::apiIssue << false;
        QTest::newRow("blank text: the model refuses")
            << true << u" \n\t"_s << u"ctrl+return"_s << 200 << copied << QByteArray()
            << NoticeCopy::missingFields << false;
        QTest::newRow("needs login")
            << false << code << u"click"_s << 200 << copied << QByteArray() << QString() << true;
    }
    void submit()
    {
        QFETCH(bool, loggedIn);
        QFETCH(QString, text);
        QFETCH(QString, trigger);
        QFETCH(int, status);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, sent);
        QFETCH(QString, sheet);
        QFETCH(bool, hides);
        if (!loggedIn)
            QVERIFY(m_app->storeCredentials(u"jane"_s, {}));
        m_app->container->setLanguages({ u"Plain Text"_s, u"C++"_s });
        m_app->transport->answer(status, answer);
        QSignalSpy settings(m_app->container.get(), &AppContainer::settingsRequested);

        PasteForm *form = open();
        QSignalSpy closeRequests(form, &PasteForm::closeRequested);
        QTRY_COMPARE(form->languagePicker()->count(), 2);
        form->languagePicker()->setCurrentIndex(1);
        form->textArea()->setPlainText(text);
        if (trigger == u"click"_s) {
            QTest::mouseClick(form->submitButton(), Qt::LeftButton);
        } else if (trigger == u"return"_s) {
            form->languagePicker()->setFocus();
            QTest::keyClick(form->languagePicker(), Qt::Key_Return);
        } else {
            QTest::keyClick(form->textArea(), Qt::Key_Return, Qt::ControlModifier);
        }

        if (sheet.isEmpty()) {
            QTRY_COMPARE(settings.size(), 1);
        } else {
            QTRY_VERIFY(form->sheet() && form->sheet()->isVisible());
            QCOMPARE(sheetText(form), sheet);
            QCOMPARE(form->sheet()->windowModality(), Qt::WindowModal); // the form waits for it
            QTest::mouseClick(form->sheet()->findChild<QPushButton *>(), Qt::LeftButton);
            QTRY_VERIFY(!form->sheet());
            QCOMPARE(settings.size(), 0);
        }
        QCOMPARE(closeRequests.size(), hides ? 1 : 0);
        if (hides)
            QTRY_VERIFY(!m_controller->isVisible());
        else
            QCOMPARE(form->textArea()->toPlainText(), text); // kept for another try
        QByteArrayList bodies;
        for (const HTTPRequest &request : std::as_const(m_app->transport->requests))
            if (request.url.path() == u"/api/paste"_s)
                bodies << request.body.value_or(QByteArray());
        QCOMPARE(bodies, sent.isEmpty() ? QByteArrayList() : QByteArrayList { sent });
    }

    void busyThenRetry()
    {
        FWTest::FakeTransport &transport = *m_app->transport;
        m_app->container->setLanguages({ u"Plain Text"_s });
        transport.heldPathSuffix = u"/paste"_s;
        transport.answer(500, {});
        transport.answer(200, copied);
        PasteForm *form = open();
        QTest::keyClicks(form->textArea(), u"draft"_s);
        QVERIFY(!form->busyIndicator()->isVisible());
        QTest::mouseClick(form->submitButton(), Qt::LeftButton);
        QTRY_COMPARE(transport.requests.size(), 1);
        QVERIFY(form->busyIndicator()->isVisible());
        QVERIFY(!form->submitButton()->isEnabled());
        QVERIFY(!form->languagePicker()->isEnabled());
        // Neither the button nor the keys start a second one.
        QTest::mouseClick(form->submitButton(), Qt::LeftButton);
        QTest::keyClick(form->textArea(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(transport.requests.size(), 1);

        transport.gate.open();
        QTRY_COMPARE(sheetText(form), NoticeCopy::apiIssue);
        QVERIFY(!form->busyIndicator()->isVisible());
        QVERIFY(form->submitButton()->isEnabled());
        QTest::keyClick(form->sheet(), Qt::Key_Escape);
        QTRY_VERIFY(!form->sheet());
        QVERIFY(m_controller->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), form->textArea()); // back to editing

        // The same form again: the success sheet, dismissed with Return, hides the panel.
        QTest::keyClick(form->textArea(), Qt::Key_Return, Qt::ControlModifier);
        QTRY_COMPARE(transport.requests.size(), 2);
        transport.gate.open();
        QTRY_COMPARE(sheetText(form), copiedSheet);
        QTest::keyClick(form->sheet(), Qt::Key_Return);
        QTRY_VERIFY(!m_controller->isVisible());
        QCOMPARE(m_app->desktop.clipboard, pasteURL);
    }

    void hidingThePanelMidway()
    {
        m_app->container->setLanguages({ u"Plain Text"_s });
        m_app->transport->heldPathSuffix = u"/paste"_s;
        m_app->transport->answer(200, copied);
        m_app->transport->answer(500, {});

        // The answer comes after the panel was hidden: the paste is made, no sheet floats alone.
        PasteForm *form = open();
        submitHeld(form);
        m_controller->toggle();
        QTRY_VERIFY(!m_controller->isVisible());
        m_app->transport->gate.open();
        QTRY_VERIFY(!form->isSubmitting());
        QCOMPARE(m_app->desktop.clipboard, pasteURL);
        QVERIFY(!form->sheet());

        // A sheet on screen goes with the panel.
        form = open();
        submitHeld(form);
        m_app->transport->gate.open();
        QTRY_VERIFY(form->sheet());
        const QPointer<QDialog> sheet = form->sheet();
        m_controller->toggle();
        QTRY_VERIFY(!m_controller->isVisible());
        QTRY_VERIFY(!sheet);
    }

    void screenshots()
    {
        const QString folder = FWTest::screenshotFolder();
        if (folder.isEmpty())
            QSKIP("FERROWICK_SCREENSHOTS names no folder");
        m_app->container->setLanguages({ u"Plain Text"_s, u"C++"_s, u"Python"_s });
        m_app->transport->heldPathSuffix = u"/paste"_s;
        for (const auto &[name, palette] : FWTest::screenshotPalettes()) {
            QApplication::setPalette(palette);
            m_app->transport->answer(200, copied);
            PasteForm *form = open();
            form->languagePicker()->setCurrentIndex(1);
            const auto shoot = [&](const QString &state) {
                QTest::qWait(50); // the last paint on screen; for the pictures only
                const QRect area = m_controller->panel()->frameGeometry();
                QVERIFY(QApplication::primaryScreen()
                            ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                            .save(u"%1/paste-%2-%3.png"_s.arg(folder, state, name)));
            };
            form->textArea()->setPlainText(
                u"#include <cstdio>\n\nint main()\n{\n    std::puts(\"Hello\");\n}\n"_s);
            shoot(u"form"_s);
            submitHeld(form);
            shoot(u"busy"_s);
            m_app->transport->gate.open();
            QTRY_VERIFY(form->sheet() && QTest::qWaitForWindowExposed(form->sheet()));
            shoot(u"sheet"_s);
            form->sheet()->accept();
            QTRY_VERIFY(!m_controller->isVisible());
        }
    }
};

QTEST_MAIN(PasteFormTest)
#include "PasteFormTest.moc"
