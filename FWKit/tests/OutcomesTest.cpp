#include <FWKit/PasteOutcome.h>
#include <FWKit/SettingsOutcome.h>
#include <FWKit/ShrinkOutcome.h>

#include <QTest>

using namespace FWKit;

namespace FWKit {
// Readable failures from QCOMPARE.
char *toString(const ShrinkOutcome &outcome)
{
    return QTest::toString(outcome.debugDescription());
}
char *toString(const PasteOutcome &outcome)
{
    return QTest::toString(outcome.debugDescription());
}
char *toString(const SettingsOutcome &outcome)
{
    return QTest::toString(outcome.debugDescription());
}
} // namespace FWKit

namespace {
// "é" as one precomposed character and as "e" plus a combining acute accent.
const QString composed = QStringLiteral("https://x/caf\u00e9");
const QString decomposed = QStringLiteral("https://x/cafe\u0301");
} // namespace

class OutcomesTest : public QObject
{
    Q_OBJECT

private slots:
    void shrinkEquality();
    void pasteEquality();
    void settingsEquality();
    void payloadBelongsToItsCase();
    void debugDescription_data();
    void debugDescription();
};

void OutcomesTest::shrinkEquality()
{
    QCOMPARE(ShrinkOutcome::failed("boom"), ShrinkOutcome::failed("boom"));
    QCOMPARE(ShrinkOutcome::invalidClipboard(), ShrinkOutcome::invalidClipboard());
    QCOMPARE(ShrinkOutcome::copied(composed), ShrinkOutcome::copied(decomposed));
    QVERIFY(ShrinkOutcome::failed("https://x") != ShrinkOutcome::copied("https://x"));
    QVERIFY(ShrinkOutcome::copied("https://x/A") != ShrinkOutcome::copied("https://x/a"));
    QVERIFY(ShrinkOutcome::failed("") != ShrinkOutcome::invalidClipboard());
}

void OutcomesTest::pasteEquality()
{
    QCOMPARE(PasteOutcome::failed("boom"), PasteOutcome::failed("boom"));
    QCOMPARE(PasteOutcome::needsLogin(), PasteOutcome::needsLogin());
    QCOMPARE(PasteOutcome::copied(composed), PasteOutcome::copied(decomposed));
    QVERIFY(PasteOutcome::failed("https://x") != PasteOutcome::copied("https://x"));
    QVERIFY(PasteOutcome::failed("Boom") != PasteOutcome::failed("boom"));
    QVERIFY(PasteOutcome::failed("") != PasteOutcome::needsLogin());
}

void OutcomesTest::settingsEquality()
{
    QCOMPARE(SettingsOutcome::saved("bob"), SettingsOutcome::saved("bob"));
    QCOMPARE(SettingsOutcome::saved(composed), SettingsOutcome::saved(decomposed));
    QCOMPARE(SettingsOutcome::missingFields(), SettingsOutcome::missingFields());
    QVERIFY(SettingsOutcome::saved("Bob") != SettingsOutcome::saved("bob"));
    QVERIFY(SettingsOutcome::missingFields() != SettingsOutcome::saveFailed());
    // Compatibility forms are not canonical equivalents: "ﬁ" is not "fi".
    QVERIFY(SettingsOutcome::saved(QStringLiteral("\ufb01")) != SettingsOutcome::saved("fi"));
}

void OutcomesTest::payloadBelongsToItsCase()
{
    const auto copied = ShrinkOutcome::copied("https://x");
    QCOMPARE(copied.kind(), ShrinkOutcome::Kind::Copied);
    QCOMPARE(copied.url(), "https://x");
    QVERIFY(copied.message().isEmpty());

    const auto failed = PasteOutcome::failed("Language is not valid");
    QCOMPARE(failed.kind(), PasteOutcome::Kind::Failed);
    QCOMPARE(failed.message(), "Language is not valid");
    QVERIFY(failed.url().isEmpty());

    // The payload is kept as given, not normalised.
    QCOMPARE(SettingsOutcome::saved(decomposed).login(), decomposed);
    QCOMPARE(SettingsOutcome::saveFailed().kind(), SettingsOutcome::Kind::SaveFailed);
}

void OutcomesTest::debugDescription_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("expected");

    QTest::newRow("shrink copied")
        << ShrinkOutcome::copied("https://x/y").debugDescription() << "copied(url: https://x/y)";
    QTest::newRow("shrink failed")
        << ShrinkOutcome::failed("There was an issue contacting the API").debugDescription()
        << "failed(message: There was an issue contacting the API)";
    QTest::newRow("invalidClipboard")
        << ShrinkOutcome::invalidClipboard().debugDescription() << "invalidClipboard";
    QTest::newRow("paste copied") << PasteOutcome::copied("https://p/1").debugDescription()
                                  << "copied(url: https://p/1)";
    QTest::newRow("needsLogin") << PasteOutcome::needsLogin().debugDescription() << "needsLogin";
    QTest::newRow("saved") << SettingsOutcome::saved("bob").debugDescription()
                           << "saved(login: bob)";
    QTest::newRow("missingFields")
        << SettingsOutcome::missingFields().debugDescription() << "missingFields";
    QTest::newRow("saveFailed") << SettingsOutcome::saveFailed().debugDescription() << "saveFailed";
    // A payload with percent signs is not read as a format.
    QTest::newRow("percent payload") << ShrinkOutcome::copied("https://x/%1%20").debugDescription()
                                     << "copied(url: https://x/%1%20)";
}

void OutcomesTest::debugDescription()
{
    QFETCH(QString, description);
    QFETCH(QString, expected);
    QCOMPARE(description, expected);
}

QTEST_GUILESS_MAIN(OutcomesTest)
#include "OutcomesTest.moc"
