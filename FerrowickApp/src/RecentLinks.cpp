#include "RecentLinks.h"

#include "DebugLog.h"
#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QSaveFile>
#include <QUrl>

#include <chrono>
#include <optional>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

constexpr qsizetype maxWords = 6;
constexpr qsizetype maxCharacters = 40;
constexpr std::chrono::milliseconds saveDelay { 250 };

const QString shrinkKind = u"shrink"_s;
const QString pasteKind = u"paste"_s;

// Enough of the paste to recognise it, and no more of it on disk.
QString firstWords(const QString &text)
{
    const QStringList words = text.simplified().split(u' ', Qt::SkipEmptyParts);
    QString kept = words.mid(0, maxWords).join(u' ');
    bool cut = words.size() > maxWords;
    if (kept.size() > maxCharacters) {
        kept.truncate(maxCharacters);
        if (kept.back().isHighSurrogate())
            kept.chop(1);
        cut = true;
    }
    return cut ? kept + u" \u2026"_s : kept;
}

QJsonObject toJson(const RecentLink &link)
{
    QJsonObject object { { u"kind"_s,
                             link.kind == RecentLink::Kind::shrink ? shrinkKind : pasteKind },
        { u"link"_s, link.link }, { u"subject"_s, link.subject },
        { u"made"_s, link.made.toUTC().toString(Qt::ISODateWithMs) } };
    if (link.kind == RecentLink::Kind::paste)
        object.insert(u"language"_s, link.language);
    return object;
}

std::optional<RecentLink> fromJson(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    const QString kind = object.value(u"kind"_s).toString();
    RecentLink link { kind == shrinkKind ? RecentLink::Kind::shrink : RecentLink::Kind::paste,
        object.value(u"link"_s).toString(), object.value(u"subject"_s).toString(),
        object.value(u"language"_s).toString(),
        QDateTime::fromString(object.value(u"made"_s).toString(), Qt::ISODateWithMs) };
    if ((kind != shrinkKind && kind != pasteKind) || link.link.isEmpty() || !link.made.isValid() ||
        !object.value(u"subject"_s).isString())
        return std::nullopt;
    return link;
}

} // namespace

RecentLinks::RecentLinks(QString folder, QObject *parent)
    : QObject(parent)
    , m_folder(std::move(folder))
{
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(saveDelay);
    connect(&m_saveTimer, &QTimer::timeout, this, &RecentLinks::save);
    load();
}

RecentLinks::~RecentLinks()
{
    if (m_saveTimer.isActive())
        save();
}

QString RecentLinks::filePath() const
{
    return m_folder + u"/recent.json"_s;
}

void RecentLinks::add(const RecentLink &link)
{
    QList<RecentLink> links { link };
    for (const RecentLink &kept : std::as_const(m_links)) {
        if (kept.link != link.link && links.size() < capacity)
            links.append(kept);
    }
    changeTo(std::move(links));
}

void RecentLinks::clear()
{
    changeTo({});
}

void RecentLinks::changeTo(QList<RecentLink> links)
{
    if (links == m_links)
        return;
    m_links = std::move(links);
    m_saveTimer.start();
    emit changed();
}

RecentLink RecentLinks::entry(const FWKit::MadeLink &made, const QDateTime &when)
{
    if (made.kind == RecentLink::Kind::paste)
        return { made.kind, made.link, firstWords(made.source), made.language, when.toUTC() };
    QString host = QUrl(made.source).host();
    if (host.isEmpty())
        host = QUrl(made.link).host();
    return { made.kind, made.link, host, {}, when.toUTC() };
}

QString RecentLinks::label(const RecentLink &link, const QDateTime &now)
{
    const QLocale locale;
    const QDateTime made = link.made.toLocalTime();
    // Minutes tell the rows apart; seconds are noise (the C locale's short form has them).
    QString when =
        locale.toString(made.time(), locale.timeFormat(QLocale::ShortFormat).remove(u":ss"_s));
    if (made.date() != now.toLocalTime().date())
        when = locale.toString(made.date(), QLocale::ShortFormat) + u' ' + when;
    const QString subject = link.kind == RecentLink::Kind::paste
        ? link.language + u": "_s + link.subject
        : link.subject;
    return subject + u" \u2014 "_s + when;
}

void RecentLinks::load()
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.exists())
            DebugLog::note(u"recent links: the file cannot be read; starting empty"_s);
        return;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    file.close();
    QList<RecentLink> links;
    bool damaged = !document.isArray();
    for (const QJsonValue &value : document.array()) {
        const std::optional<RecentLink> link = fromJson(value);
        damaged |= !link;
        if (link && links.size() < capacity)
            links.append(*link);
    }
    if (!damaged) {
        m_links = std::move(links);
        return;
    }
    // Kept for whoever wants to look, out of the way of the next write.
    const QString aside = filePath() + u".damaged"_s;
    QFile::remove(aside);
    const bool moved = QFile::rename(filePath(), aside);
    DebugLog::note(u"recent links: the file is damaged; "_s +
        (moved ? u"set aside as "_s + aside : u"it could not be set aside"_s) +
        u"; starting empty"_s);
}

void RecentLinks::save()
{
    m_saveTimer.stop();
    QJsonArray array;
    for (const RecentLink &link : std::as_const(m_links))
        array.append(toJson(link));
    QSaveFile file(filePath());
    const QByteArray bytes = QJsonDocument(array).toJson(QJsonDocument::Compact);
    if (!PrivateFiles::makeFolder(m_folder) || !file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(PrivateFiles::filePermissions) || file.write(bytes) != bytes.size() ||
        !file.commit())
        DebugLog::note(u"recent links: writing "_s + filePath() + u" failed"_s);
}

} // namespace Ferrowick
