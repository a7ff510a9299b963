#pragma once

#include <FWKit/HotkeyConfiguration.h>

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace Ferrowick {

using namespace Qt::StringLiterals;

// The sub-commands a user binds where no shortcut service can: each asks the running Ferrowick
// (started first when none runs) to do what a shortcut or a menu entry does.
enum class Trigger {
    shrinkClipboard,
    togglePaste,
    newBatch,
    openWebsite,
    settings,
    quit,
};

// "shrink-clipboard", "toggle-paste", "new-batch", "open-website", "settings", "quit".
QString triggerName(Trigger trigger);
std::optional<Trigger> triggerFromName(const QString &name);
// The trigger that does what the shortcut does.
Trigger triggerFor(FWKit::FWHotkeyAction action);
std::optional<FWKit::FWHotkeyAction> hotkeyActionFor(Trigger trigger);

// The sub-commands for scripts and terminals: each runs on its own, with no tray and no display,
// and prints what the service answered.
enum class ScriptCommand {
    shrink,
    paste,
    batches,
    languages,
};

// "shrink", "paste", "batches", "languages".
QString scriptCommandName(ScriptCommand command);
std::optional<ScriptCommand> scriptCommandFromName(const QString &name);

// What one start of the program is asked to do.
struct CommandLine
{
    // Start the tray program (or, when one runs, ask it for its settings window).
    struct Run
    {
        friend bool operator==(const Run &, const Run &) = default;
    };
    struct Help
    {
        friend bool operator==(const Help &, const Help &) = default;
    };
    struct Version
    {
        friend bool operator==(const Version &, const Version &) = default;
    };
    struct Act
    {
        Trigger trigger;
        friend bool operator==(const Act &, const Act &) = default;
    };
    // A command for scripts, with its words.
    struct Script
    {
        ScriptCommand command;
        // shrink: the links, at least one; paste: the file, none for standard input.
        QStringList inputs;
        // paste: the language as given; empty for the service's first.
        QString language;
        bool json = false;
        friend bool operator==(const Script &, const Script &) = default;
    };
    // Words that are not a command; the text says which, for standard error.
    struct Invalid
    {
        QString message;
        friend bool operator==(const Invalid &, const Invalid &) = default;
    };
    using Request = std::variant<Run, Help, Version, Act, Script, Invalid>;

    // The arguments after the program's name.
    static Request parse(const QStringList &arguments);
    // What --help prints.
    static QString helpText();
    // The command a user binds for the action: the program's own path, or its bare name when
    // that is what PATH finds.
    static QString commandFor(FWKit::FWHotkeyAction action);
};

} // namespace Ferrowick
