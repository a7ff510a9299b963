#include "Appcast.h"

#include <FWKit/HTTPTransport.h>

#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

constexpr QLatin1StringView sparkleNamespace("http://www.andymatuschak.org/xml-namespaces/sparkle");

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isSeparator(QChar c)
{
    return c == u'.' || c == u'-' || c == u'_';
}

struct Version
{
    QList<QStringView> numbers;
    QStringView suffix; // empty: a release
};

std::optional<Version> parseVersion(QStringView text)
{
    if (const qsizetype plus = text.indexOf(u'+'); plus >= 0)
        text = text.first(plus);
    Version version;
    qsizetype i = 0;
    while (true) {
        const qsizetype start = i;
        while (i < text.size() && isAsciiDigit(text[i]))
            ++i;
        if (i == start)
            return std::nullopt;
        version.numbers.append(text.sliced(start, i - start));
        if (i + 1 < text.size() && text[i] == u'.' && isAsciiDigit(text[i + 1]))
            ++i;
        else
            break;
    }
    QStringView suffix = text.sliced(i);
    if (!suffix.isEmpty() && isSeparator(suffix.front()))
        suffix = suffix.sliced(1);
    if (i < text.size()) {
        // A pre-release tag starts with a letter: "b3", "-rc.1"; "1." and "1..2" are typos.
        if (suffix.isEmpty() || !isAsciiLetter(suffix.front()))
            return std::nullopt;
        for (const QChar c : suffix) {
            if (!isAsciiDigit(c) && !isAsciiLetter(c) && !isSeparator(c))
                return std::nullopt;
        }
    }
    version.suffix = suffix;
    return version;
}

// Decimal digit strings of any length, without overflow.
std::weak_ordering compareNumbers(QStringView a, QStringView b)
{
    while (a.size() > 1 && a.front() == u'0')
        a = a.sliced(1);
    while (b.size() > 1 && b.front() == u'0')
        b = b.sliced(1);
    if (a.size() != b.size())
        return a.size() <=> b.size();
    return a.compare(b) <=> 0;
}

// The next run of digits or of letters; separators only split runs.
QStringView nextRun(QStringView &text)
{
    while (!text.isEmpty() && isSeparator(text.front()))
        text = text.sliced(1);
    if (text.isEmpty())
        return {};
    const bool digits = isAsciiDigit(text.front());
    qsizetype end = 1;
    while (end < text.size() && !isSeparator(text[end]) && isAsciiDigit(text[end]) == digits)
        ++end;
    const QStringView run = text.first(end);
    text = text.sliced(end);
    return run;
}

std::weak_ordering compareSuffixes(QStringView a, QStringView b)
{
    if (a.isEmpty() || b.isEmpty())
        return b.size() <=> a.size(); // the release is newer than its pre-releases
    while (true) {
        const QStringView runA = nextRun(a);
        const QStringView runB = nextRun(b);
        if (runA.isEmpty() || runB.isEmpty())
            return runA.size() <=> runB.size();
        const bool digitsA = isAsciiDigit(runA.front());
        const bool digitsB = isAsciiDigit(runB.front());
        std::weak_ordering order = std::weak_ordering::equivalent;
        if (digitsA != digitsB)
            order = digitsB <=> digitsA; // a number sorts before a word
        else if (digitsA)
            order = compareNumbers(runA, runB);
        else
            order = runA.compare(runB, Qt::CaseInsensitive) <=> 0;
        if (order != 0)
            return order;
    }
}

QUrl httpsUrl(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!FWKit::isHttpsURL(url))
        return {};
    return url;
}

QString elementText(QXmlStreamReader &reader)
{
    return reader.readElementText(QXmlStreamReader::IncludeChildElements);
}

// Reads the <item> the reader is on, up to its end.
AppcastItem readItem(QXmlStreamReader &reader)
{
    AppcastItem item;
    QString elementVersion;
    QString elementShortVersion;
    QString enclosureVersion;
    QString enclosureShortVersion;
    QUrl enclosureUrl;
    QUrl link;
    bool seenEnclosure = false;
    while (reader.readNextStartElement()) {
        const QStringView space = reader.namespaceUri();
        const QStringView name = reader.name();
        if (space.isEmpty() && name == u"title") {
            item.title = elementText(reader).trimmed();
        } else if (space.isEmpty() && name == u"link") {
            link = httpsUrl(elementText(reader));
        } else if (space.isEmpty() && name == u"description") {
            item.description = elementText(reader).trimmed();
        } else if (space.isEmpty() && name == u"enclosure" && !seenEnclosure) {
            seenEnclosure = true;
            const QXmlStreamAttributes attributes = reader.attributes();
            enclosureUrl = httpsUrl(attributes.value("url"_L1).toString());
            enclosureVersion = attributes.value(sparkleNamespace, "version"_L1).toString();
            enclosureShortVersion =
                attributes.value(sparkleNamespace, "shortVersionString"_L1).toString();
            reader.skipCurrentElement();
        } else if (space == sparkleNamespace && name == u"version") {
            elementVersion = elementText(reader);
        } else if (space == sparkleNamespace && name == u"shortVersionString") {
            elementShortVersion = elementText(reader);
        } else if (space == sparkleNamespace && name == u"releaseNotesLink") {
            item.releaseNotesUrl = httpsUrl(elementText(reader));
        } else {
            reader.skipCurrentElement();
        }
    }
    item.version = (enclosureVersion.isEmpty() ? elementVersion : enclosureVersion).trimmed();
    item.shortVersionString =
        (enclosureShortVersion.isEmpty() ? elementShortVersion : enclosureShortVersion).trimmed();
    item.downloadUrl = enclosureUrl.isEmpty() ? link : enclosureUrl;
    return item;
}

} // namespace

std::optional<std::weak_ordering> compareVersions(QStringView a, QStringView b)
{
    const auto versionA = parseVersion(a);
    const auto versionB = parseVersion(b);
    if (!versionA || !versionB)
        return std::nullopt;
    const qsizetype count = std::max(versionA->numbers.size(), versionB->numbers.size());
    for (qsizetype i = 0; i < count; ++i) {
        const QStringView numberA = versionA->numbers.value(i, u"0");
        const QStringView numberB = versionB->numbers.value(i, u"0");
        if (const auto order = compareNumbers(numberA, numberB); order != 0)
            return order;
    }
    return compareSuffixes(versionA->suffix, versionB->suffix);
}

std::expected<QList<AppcastItem>, FWKit::FWError> parseAppcast(const QByteArray &xml)
{
    QXmlStreamReader reader(xml);
    QList<AppcastItem> items;
    if (reader.readNextStartElement()) {
        if (reader.name() != u"rss" || !reader.namespaceUri().isEmpty())
            return std::unexpected(FWKit::FWError::decoding(u"not an RSS feed"_s));
        while (reader.readNextStartElement()) {
            if (reader.name() != u"channel" || !reader.namespaceUri().isEmpty()) {
                reader.skipCurrentElement();
                continue;
            }
            while (reader.readNextStartElement()) {
                if (reader.name() != u"item" || !reader.namespaceUri().isEmpty()) {
                    reader.skipCurrentElement();
                    continue;
                }
                AppcastItem item = readItem(reader);
                if (compareVersions(item.version, item.version))
                    items.append(std::move(item));
            }
        }
    }
    // Whatever follows the root must still be well-formed.
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError()) {
        return std::unexpected(FWKit::FWError::decoding(u"malformed feed at line %1: %2"_s.arg(
            QString::number(reader.lineNumber()), reader.errorString())));
    }
    if (items.isEmpty())
        return std::unexpected(FWKit::FWError::decoding(u"no item with a valid version"_s));
    return items;
}

std::expected<AppcastItem, FWKit::FWError> newestAppcastItem(const QByteArray &xml)
{
    auto items = parseAppcast(xml);
    if (!items)
        return std::unexpected(items.error());
    const AppcastItem *newest = &items->first();
    for (const AppcastItem &item : std::as_const(*items)) {
        if (compareVersions(item.version, newest->version) == std::weak_ordering::greater)
            newest = &item;
    }
    return *newest;
}

} // namespace Ferrowick
