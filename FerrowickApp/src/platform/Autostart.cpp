#include "platform/Autostart.h"

#include "AppId.h"
#include "DebugLog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

const QString entryGroup = u"[Desktop Entry]"_s;

// Characters that make an Exec argument need quotes, and those escaped inside the quotes.
constexpr QStringView needsQuotes = u" \t\n\"'\\><~|&;$*?#()`";
constexpr QStringView escapedInQuotes = u"\"`$\\";

QString quotedArgument(const QString &argument)
{
    QString quoted = argument;
    if (std::ranges::any_of(argument, [](QChar c) { return needsQuotes.contains(c); })) {
        quoted.clear();
        for (const QChar c : argument) {
            if (escapedInQuotes.contains(c))
                quoted += u'\\';
            quoted += c;
        }
        quoted = u'"' + quoted + u'"';
    }
    // A lone % would start a field code; then the value's own escapes for a string.
    return quoted.replace(u'%', u"%%"_s)
        .replace(u'\\', u"\\\\"_s)
        .replace(u'\n', u"\\n"_s)
        .replace(u'\t', u"\\t"_s)
        .replace(u'\r', u"\\r"_s);
}

// The bare name where PATH leads to this very binary: the entry then survives an upgrade that
// moves nothing, and reads as the packaged one does.
QString execValue()
{
    const QString self = QCoreApplication::applicationFilePath();
    const QString onPath = QStandardPaths::findExecutable(u"ferrowick"_s);
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == self)
        return u"ferrowick"_s;
    return quotedArgument(self);
}

// The keys of the main group; other groups (actions) may repeat their names.
QHash<QString, QString> mainGroupKeys(const QByteArray &text)
{
    QHash<QString, QString> keys;
    bool inMain = false;
    for (const QString &raw : QString::fromUtf8(text).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'['))
            inMain = line == entryGroup;
        else if (inMain && line.contains(u'=') && !line.startsWith(u'#'))
            keys.insert(line.section(u'=', 0, 0).trimmed(), line.section(u'=', 1).trimmed());
    }
    return keys;
}

} // namespace

Autostart::Autostart(QString folder)
    : m_folder(std::move(folder))
{
    if (m_folder.isEmpty())
        m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            u"/autostart"_s;
}

QString Autostart::entryPath() const
{
    return m_folder + u'/' + appId + u".desktop"_s;
}

bool Autostart::isEnabled() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QHash<QString, QString> keys = mainGroupKeys(file.readAll());
    return keys.value(u"Hidden"_s) != u"true"_s &&
        keys.value(u"X-GNOME-Autostart-enabled"_s) != u"false"_s;
}

std::expected<void, QString> Autostart::setEnabled(bool enabled)
{
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (file.exists() && !file.remove())
            return std::unexpected(u"%1: %2"_s.arg(path, file.errorString()));
        DebugLog::note(u"autostart entry removed"_s);
        return {};
    }
    const QByteArray text = entryText();
    if (text.isEmpty())
        return std::unexpected(u"the program's desktop file is missing"_s);
    if (!QDir().mkpath(m_folder))
        return std::unexpected(u"cannot make the folder %1"_s.arg(m_folder));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return std::unexpected(u"%1: %2"_s.arg(path, file.errorString()));
    DebugLog::note(u"autostart entry written"_s);
    return {};
}

QByteArray Autostart::entryText()
{
    QFile desktopFile(u":/"_s + appId + u".desktop"_s);
    if (!desktopFile.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    bool inMain = false;
    for (const QString &line : QString::fromUtf8(desktopFile.readAll()).split(u'\n')) {
        const QString trimmed = line.trimmed();
        const QString key = trimmed.section(u'=', 0, 0).trimmed();
        if (trimmed.startsWith(u'['))
            inMain = trimmed == entryGroup;
        if (inMain && key == u"Exec"_s) {
            lines << u"Exec="_s + execValue() << u"X-GNOME-Autostart-enabled=true"_s;
            continue;
        }
        if (!inMain || (key != u"Hidden"_s && key != u"X-GNOME-Autostart-enabled"_s))
            lines << line;
    }
    return lines.join(u'\n').toUtf8();
}

} // namespace Ferrowick
