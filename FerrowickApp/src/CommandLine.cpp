#include "CommandLine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include <array>
#include <utility>

namespace Ferrowick {

using FWKit::FWHotkeyAction;

namespace {

struct TriggerRow
{
    Trigger trigger;
    QString name;
    const char *summary;
};

const std::array<TriggerRow, 6> &triggerRows()
{
    static const std::array<TriggerRow, 6> rows { {
        { Trigger::shrinkClipboard, u"shrink-clipboard"_s,
            "Shrink the link on the clipboard; the short link replaces it" },
        { Trigger::togglePaste, u"toggle-paste"_s, "Show or hide the paste panel" },
        { Trigger::newBatch, u"new-batch"_s, "Open a new upload batch in the browser" },
        { Trigger::openWebsite, u"open-website"_s, "Open the Ferrowick website" },
        { Trigger::settings, u"settings"_s, "Open the settings window" },
        { Trigger::quit, u"quit"_s, "Quit the running Ferrowick" },
    } };
    return rows;
}

} // namespace

QString triggerName(Trigger trigger)
{
    for (const TriggerRow &row : triggerRows())
        if (row.trigger == trigger)
            return row.name;
    return {};
}

std::optional<Trigger> triggerFromName(const QString &name)
{
    for (const TriggerRow &row : triggerRows())
        if (row.name == name)
            return row.trigger;
    return std::nullopt;
}

Trigger triggerFor(FWHotkeyAction action)
{
    switch (action) {
    case FWHotkeyAction::newBatch:
        return Trigger::newBatch;
    case FWHotkeyAction::openFerrowick:
        return Trigger::openWebsite;
    case FWHotkeyAction::togglePaste:
        return Trigger::togglePaste;
    case FWHotkeyAction::newShrink:
        return Trigger::shrinkClipboard;
    }
    std::unreachable();
}

std::optional<FWHotkeyAction> hotkeyActionFor(Trigger trigger)
{
    for (const FWHotkeyAction action : FWKit::allHotkeyActions)
        if (triggerFor(action) == trigger)
            return action;
    return std::nullopt;
}

CommandLine::Request CommandLine::parse(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return Run {};
    const QString &first = arguments.first();
    if (arguments.size() > 1)
        return Invalid { u"'%1' takes no arguments"_s.arg(first) };
    if (first == u"-h"_s || first == u"--help"_s || first == u"help"_s)
        return Help {};
    if (first == u"--version"_s)
        return Version {};
    if (const std::optional<Trigger> trigger = triggerFromName(first))
        return Act { *trigger };
    return Invalid { u"unknown command '%1'"_s.arg(first) };
}

QString CommandLine::helpText()
{
    QString text = u"Usage: ferrowick [COMMAND]\n\n"
                   "Without a command, starts Ferrowick in the tray; when it already runs,\n"
                   "opens its settings.\n\n"
                   "Commands, for keys bound in the desktop's or compositor's settings; each\n"
                   "asks the running Ferrowick, and starts it first when none runs:\n"_s;
    for (const TriggerRow &row : triggerRows())
        text += u"  %1%2\n"_s.arg(row.name, -18).arg(QString::fromUtf8(row.summary));
    text += u"\nOptions:\n"
            "  -h, --help          Show this help\n"
            "  --version           Show the version\n"_s;
    return text;
}

QString CommandLine::commandFor(FWHotkeyAction action)
{
    const QString program = QCoreApplication::applicationFilePath();
    const QString name = QFileInfo(program).fileName();
    const QString found = QStandardPaths::findExecutable(name);
    const bool onPath = !found.isEmpty() &&
        QFileInfo(found).canonicalFilePath() == QFileInfo(program).canonicalFilePath();
    QString command = onPath ? name : program;
    // A path with spaces must survive the desktop's command parser.
    if (command.contains(u' '))
        command = u'\'' + command + u'\'';
    return command + u' ' + triggerName(triggerFor(action));
}

} // namespace Ferrowick
