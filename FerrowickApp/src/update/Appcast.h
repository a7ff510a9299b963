#pragma once

#include <FWKit/FWError.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <compare>
#include <expected>
#include <optional>

namespace Ferrowick {

// One release as the update feed describes it.
struct AppcastItem
{
    QString version; // what is compared, sparkle:version
    QString shortVersionString; // what is shown, when the feed gives one
    QString title;
    // Where "Download" goes: the enclosure, else the item's link; only https with a host, so it
    // may be empty.
    QUrl downloadUrl;
    QUrl releaseNotesUrl; // sparkle:releaseNotesLink, https only
    QString description; // as written, possibly HTML

    QString displayVersion() const
    {
        return shortVersionString.isEmpty() ? version : shortVersionString;
    }

    friend bool operator==(const AppcastItem &, const AppcastItem &) = default;
};

// Versions are dotted decimal numbers, optionally followed by a pre-release suffix and build
// metadata: "1.10", "2.0b3", "2.0-rc.1", "1.0+build7". Numbers compare numerically with missing
// components as zero ("1.9" < "1.10", "1.0" == "1.0.0"); a suffix marks a pre-release, older than
// the same number without one ("2.0b3" < "2.0"); two suffixes compare run by run, digits
// numerically and letters case-insensitively ("a2" < "a10" < "b1" < "rc1"); "+" and what follows is
// ignored. Anything that does not start with a number (empty, "v1.0", "1..2", ".5") is not a
// version: nullopt.
std::optional<std::weak_ordering> compareVersions(QStringView a, QStringView b);

// The items of an RSS 2.0 feed whose version is valid, in feed order. Malformed XML, a root that is
// not <rss>, or no item with a valid version is a decoding error. Version elements and attributes
// are recognised by the namespace URI, whatever the prefix.
std::expected<QList<AppcastItem>, FWKit::FWError> parseAppcast(const QByteArray &xml);

// The newest item of the feed (the first of equals).
std::expected<AppcastItem, FWKit::FWError> newestAppcastItem(const QByteArray &xml);

} // namespace Ferrowick
