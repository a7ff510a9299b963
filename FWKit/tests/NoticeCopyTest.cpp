#include <FWKit/NoticeCopy.h>

#include <QTest>

using namespace FWKit;

class NoticeCopyTest : public QObject
{
    Q_OBJECT

private slots:
    void textsAreExact_data();
    void textsAreExact();
    void formatted_data();
    void formatted();
};

void NoticeCopyTest::textsAreExact_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    // The small differences (url/URL, full stops) are deliberate.
    QTest::newRow("title") << NoticeCopy::title << "Notice";
    QTest::newRow("invalidURL") << NoticeCopy::invalidURL
                                << "You do not have a valid URL in your clipboard";
    QTest::newRow("apiIssue") << NoticeCopy::apiIssue << "There was an issue contacting the API";
    QTest::newRow("shrinkCopied") << NoticeCopy::shrinkCopied
                                  << "The url has been copied to your clipboard\n\n%@";
    QTest::newRow("missingFields")
        << NoticeCopy::missingFields << "Please fill out all the required fields.";
    QTest::newRow("pasteCopied")
        << NoticeCopy::pasteCopied
        << "The URL for the paste has been copied to your clipboard.\n\n%@";
    QTest::newRow("prefsSaved") << NoticeCopy::prefsSaved
                                << "%@, your preferences have been saved.";
}

void NoticeCopyTest::textsAreExact()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(text, expected);
}

void NoticeCopyTest::formatted_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("expected");

    QTest::newRow("shrink link") << NoticeCopy::shrinkCopied << "https://fw.ck/a1"
                                 << "The url has been copied to your clipboard\n\nhttps://fw.ck/a1";
    QTest::newRow("paste link")
        << NoticeCopy::pasteCopied << "https://paste.fw.ck/x"
        << "The URL for the paste has been copied to your clipboard.\n\nhttps://paste.fw.ck/x";
    QTest::newRow("login first") << NoticeCopy::prefsSaved << "Jürgen"
                                 << "Jürgen, your preferences have been saved.";
    QTest::newRow("percent-escapes")
        << NoticeCopy::shrinkCopied << "https://x/a%20b%zz%"
        << "The url has been copied to your clipboard\n\nhttps://x/a%20b%zz%";
    // Neither Qt's nor the original's placeholder inside the argument is expanded.
    QTest::newRow("placeholders in argument") << NoticeCopy::prefsSaved << "%1 %@ %2%"
                                              << "%1 %@ %2%, your preferences have been saved.";
    QTest::newRow("empty argument")
        << NoticeCopy::prefsSaved << QString() << ", your preferences have been saved.";
    QTest::newRow("plain text unchanged") << NoticeCopy::apiIssue << "ignored"
                                          << "There was an issue contacting the API";
}

void NoticeCopyTest::formatted()
{
    QFETCH(QString, format);
    QFETCH(QString, argument);
    QFETCH(QString, expected);
    QCOMPARE(NoticeCopy::formatted(format, argument), expected);
}

QTEST_GUILESS_MAIN(NoticeCopyTest)
#include "NoticeCopyTest.moc"
