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
            "Replace the link on the clipboard with its short link" },
        { Trigger::togglePaste, u"toggle-paste"_s, "Show or hide the paste panel" },
        { Trigger::newBatch, u"new-batch"_s, "Open a new upload batch in the browser" },
        { Trigger::openWebsite, u"open-website"_s, "Open the Ferrowick website" },
        { Trigger::settings, u"settings"_s, "Open the settings window" },
        { Trigger::quit, u"quit"_s, "Quit the running Ferrowick" },
    } };
    return rows;
}

struct ScriptRow
{
    ScriptCommand command;
    QString name;
    const char *usage; // the words after the name
    const char *summary;
};

const std::array<ScriptRow, 4> &scriptRows()
{
    static const std::array<ScriptRow, 4> rows { {
        { ScriptCommand::shrink, u"shrink"_s, " URL...", "Shrink each link; print its short link" },
        { ScriptCommand::paste, u"paste"_s, " [FILE|-]",
            "Paste the file, or standard input (no FILE, or '-');\n"
            "print the paste's URL. --language LANG sets its\n"
            "language (default: the first that 'languages' lists)" },
        { ScriptCommand::batches, u"batches"_s, "", "List the account's upload batches" },
        { ScriptCommand::languages, u"languages"_s, "", "List the languages a paste can have" },
    } };
    return rows;
}

// The words after a script command's name: its inputs and options, in any order; "--" ends the
// options.
CommandLine::Request parseScript(ScriptCommand command, const QStringList &words)
{
    const QString name = scriptCommandName(command);
    CommandLine::Script script { .command = command, .inputs = {}, .language = {}, .json = false };
    bool options = true;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        if (!options || word == u"-"_s || !word.startsWith(u'-')) {
            script.inputs << word;
        } else if (word == u"--"_s) {
            options = false;
        } else if (word == u"--json"_s) {
            script.json = true;
        } else if (word == u"-h"_s || word == u"--help"_s) {
            return CommandLine::Help {};
        } else if (command == ScriptCommand::paste &&
            (word == u"--language"_s || word.startsWith(u"--language="_s))) {
            const bool joined = word.contains(u'=');
            script.language =
                joined ? word.section(u'=', 1) : (i + 1 < words.size() ? words[++i] : QString());
            if (script.language.isEmpty())
                return CommandLine::Invalid { u"'--language' needs a language"_s };
        } else {
            return CommandLine::Invalid { u"'%1' has no option '%2'"_s.arg(name, word) };
        }
    }
    switch (command) {
    case ScriptCommand::shrink:
        if (script.inputs.isEmpty())
            return CommandLine::Invalid { u"'shrink' needs at least one link"_s };
        break;
    case ScriptCommand::paste:
        if (script.inputs.size() > 1)
            return CommandLine::Invalid { u"'paste' takes one file at most"_s };
        // Standard input, named as the user may name it.
        if (script.inputs == QStringList { u"-"_s })
            script.inputs.clear();
        break;
    case ScriptCommand::batches:
    case ScriptCommand::languages:
        if (!script.inputs.isEmpty())
            return CommandLine::Invalid { u"'%1' takes no arguments"_s.arg(name) };
        break;
    }
    return script;
}

} // namespace

QString scriptCommandName(ScriptCommand command)
{
    for (const ScriptRow &row : scriptRows())
        if (row.command == command)
            return row.name;
    return {};
}

std::optional<ScriptCommand> scriptCommandFromName(const QString &name)
{
    for (const ScriptRow &row : scriptRows())
        if (row.name == name)
            return row.command;
    return std::nullopt;
}

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
    if (const std::optional<ScriptCommand> command = scriptCommandFromName(first))
        return parseScript(*command, arguments.mid(1));
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
    // Name and summary in two columns; a summary's further lines under its first.
    const auto entry = [](const QString &name, const char *summary) {
        constexpr int width = 20;
        return u"  %1%2\n"_s.arg(name, -width)
            .arg(QString::fromUtf8(summary).replace(u'\n', u'\n' + QString(width + 2, u' ')));
    };
    QString text = u"Usage: ferrowick [COMMAND] [OPTIONS]\n\n"
                   "Without a command, starts Ferrowick in the tray; when it already runs,\n"
                   "opens its settings.\n\n"
                   "Commands for keys bound in the desktop's or compositor's settings; each acts\n"
                   "through the running Ferrowick and the clipboard, and starts Ferrowick first\n"
                   "when none runs:\n"_s;
    for (const TriggerRow &row : triggerRows())
        text += entry(row.name, row.summary);
    text += u"\nCommands for scripts and terminals; each runs on its own, without the tray or\n"
            "a display, prints one result a line and tells of failures on standard error:\n"_s;
    for (const ScriptRow &row : scriptRows())
        text += entry(row.name + QString::fromUtf8(row.usage), row.summary);
    text += entry(u"--json"_s,
        "Print one JSON document instead: an array with an\n"
        "object for each link or file (\"input\", and \"url\" or\n"
        "\"error\"), for each batch (\"batch\"), or the names\n"
        "of the languages");
    text += u"\n'paste' and 'batches' need the login and password that Ferrowick's settings keep\n"
            "in the desktop's keyring.\n"
            "Exit status: 0 when every item succeeded, 1 when one failed, 2 for wrong usage,\n"
            "3 when no login and password are stored or the keyring is locked or missing.\n\n"
            "Options:\n"_s;
    text += entry(u"-h, --help"_s, "Show this help");
    text += entry(u"--version"_s, "Show the version");
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
