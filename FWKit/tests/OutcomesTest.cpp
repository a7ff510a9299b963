#include <FWKit/NoticeCopy.h>
#include <FWKit/PasteOutcome.h>
#include <FWKit/SettingsOutcome.h>
#include <FWKit/ShrinkOutcome.h>

#include <QTest>

using namespace FWKit;
using namespace FWKit::NoticeCopy;
using namespace Qt::StringLiterals;

class OutcomesTest : public QObject
{
    Q_OBJECT

private slots:
    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        // Notices: the small differences (url/URL, full stops) are part of the wording. An argument
        // is inserted as it is, never read as a format.
        QTest::newRow("title") << title << "Notice";
        QTest::newRow("invalidURL")
            << invalidURL << "You do not have a valid URL in your clipboard";
        QTest::newRow("apiIssue") << apiIssue << "There was an issue contacting the API";
        QTest::newRow("missingFields")
            << missingFields << "Please fill out all the required fields.";
        QTest::newRow("shrinkCopied")
            << formatted(shrinkCopied, "https://x/a%20b%1")
            << "The url has been copied to your clipboard\n\nhttps://x/a%20b%1";
        QTest::newRow("pasteCopied")
            << formatted(pasteCopied, "https://p/1")
            << "The URL for the paste has been copied to your clipboard.\n\nhttps://p/1";
        QTest::newRow("prefsSaved")
            << formatted(prefsSaved, "%@ %1") << "%@ %1, your preferences have been saved.";

        // Log lines.
        const auto log = [](const char *name, const auto &outcome, const QString &expected) {
            QTest::newRow(name) << outcome.debugDescription() << expected;
        };
        log("shrink copied", ShrinkOutcome::copied("https://x/%1"), "copied(url: https://x/%1)");
        log("shrink failed", ShrinkOutcome::failed("boom"), "failed(message: boom)");
        log("invalidClipboard", ShrinkOutcome::invalidClipboard(), "invalidClipboard");
        log("paste copied", PasteOutcome::copied("https://p/1"), "copied(url: https://p/1)");
        log("paste failed", PasteOutcome::failed("boom"), "failed(message: boom)");
        log("needsLogin", PasteOutcome::needsLogin(), "needsLogin");
        log("saved", SettingsOutcome::saved("bob"), "saved(login: bob)");
        log("settings missingFields", SettingsOutcome::missingFields(), "missingFields");
        log("saveFailed", SettingsOutcome::saveFailed(), "saveFailed");
    }

    void texts()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    void equalityAndPayload()
    {
        using Shrink = ShrinkOutcome;
        using Paste = PasteOutcome;
        using Settings = SettingsOutcome;
        // "é" as one precomposed character and as "e" plus a combining acute accent.
        const QString composed = u"caf\u00e9"_s;
        const QString decomposed = u"cafe\u0301"_s;
        QVERIFY(Shrink::copied(composed) == Shrink::copied(decomposed));
        QVERIFY(Shrink::failed("x") != Shrink::copied("x"));
        QVERIFY(Paste::failed(composed) == Paste::failed(decomposed));
        QVERIFY(Paste::failed("x") != Paste::copied("x"));
        QVERIFY(Settings::saved(composed) == Settings::saved(decomposed));
        QVERIFY(Settings::saved("Bob") != Settings::saved("bob"));
        QVERIFY(Settings::missingFields() != Settings::saveFailed());
        // Compatibility forms are not canonical equivalents: "ﬁ" is not "fi".
        QVERIFY(Settings::saved(u"\ufb01"_s) != Settings::saved("fi"));

        // The payload is kept as given, not normalised, and only in its own case.
        QCOMPARE(Shrink::copied(decomposed).url(), decomposed);
        QVERIFY(Shrink::copied("x").message().isEmpty());
        QCOMPARE(Paste::failed(decomposed).message(), decomposed);
        QVERIFY(Paste::failed("x").url().isEmpty());
        QCOMPARE(Settings::saved(decomposed).login(), decomposed);
    }
};

QTEST_GUILESS_MAIN(OutcomesTest)
#include "OutcomesTest.moc"
