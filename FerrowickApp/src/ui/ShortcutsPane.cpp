#include "ui/ShortcutsPane.h"

#include "CommandLine.h"
#include "ui/RecorderView.h"
#include "ui/SettingsCard.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Ferrowick {

using namespace FWKit;

namespace {

const QString hotkeyErrorText = u"Shortcut could not be registered. Another app may be using it."_s;
const QString notSetText = u"Not set"_s;
const QString desktopManagesText = u"Your desktop manages these shortcuts."_s;

// XDG_CURRENT_DESKTOP is a colon-separated list, most specific first ("ubuntu:GNOME").
bool isDesktop(const QString &currentDesktop, QStringView name)
{
    const QStringList names = currentDesktop.split(u':', Qt::SkipEmptyParts);
    return std::ranges::any_of(names,
        [name](const QString &entry) { return entry.compare(name, Qt::CaseInsensitive) == 0; });
}

QString desktopNote(bool canConfigure)
{
    if (canConfigure)
        return desktopManagesText;
    // KDE's portal before version 2 cannot open the editor, but its settings list our keys.
    if (isDesktop(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), u"KDE"))
        return desktopManagesText + u" Change them in System Settings \u203a Shortcuts."_s;
    return desktopManagesText + u" Change them in its keyboard shortcut settings."_s;
}

// Where the desktop named by XDG_CURRENT_DESKTOP binds a command to a key.
QString commandsNote(const QString &currentDesktop)
{
    const QString bind = u"Bind each command to a key "_s;
    if (isDesktop(currentDesktop, u"GNOME"))
        return bind + u"in Settings \u203a Keyboard \u203a Custom Shortcuts."_s;
    if (isDesktop(currentDesktop, u"KDE"))
        return bind + u"in System Settings \u203a Shortcuts."_s;
    if (isDesktop(currentDesktop, u"sway"))
        return bind + u"with a \u201cbindsym <keys> exec <command>\u201d line in sway's config."_s;
    if (isDesktop(currentDesktop, u"Hyprland"))
        return bind + u"with a \u201cbind = \u2026, exec, <command>\u201d line in hyprland.conf."_s;
    return bind + u"in your desktop's keyboard shortcut settings."_s;
}

} // namespace

ShortcutsPane::ShortcutsPane(HotkeySettings &hotkeys, QWidget *parent)
    : QWidget(parent)
    , m_hotkeys(hotkeys)
    , m_binder(hotkeys.binder())
    , m_configuration(hotkeys.hotkeyConfiguration())
{
    setObjectName(u"shortcuts"_s);
    const auto [pane, layout, card, rows] = makeSettingsPane(this, u"shortcutRows"_s);
    auto *own = new QVBoxLayout(this);
    own->setContentsMargins(0, 0, 0, 0);
    own->addWidget(pane);

    const struct
    {
        FWHotkeyAction action;
        const char *title;
        const char *icon;
    } table[] = {
        { FWHotkeyAction::newBatch, "New Batch", "folder-new" },
        { FWHotkeyAction::openFerrowick, "Open Website", "web-browser" },
        { FWHotkeyAction::togglePaste, "Paste", "edit-paste" },
        { FWHotkeyAction::newShrink, "Shrink", "insert-link" },
    };
    for (const auto &row : table)
        m_titleWidth =
            std::max(m_titleWidth, fontMetrics().horizontalAdvance(QString::fromLatin1(row.title)));
    for (const auto &row : table) {
        if (row.action != table[0].action)
            rows->addWidget(new Divider(card));
        rows->addWidget(
            makeRow(row.action, QString::fromLatin1(row.title), QString::fromLatin1(row.icon)));
    }

    switch (m_binder) {
    case HotkeySettings::Binder::recorder: {
        m_hotkeyError = new ErrorLine(u"hotkeyError"_s, hotkeyErrorText, pane);
        layout->addWidget(m_hotkeyError);
        auto *reset = new QPushButton(u"Reset to Defaults"_s, pane);
        reset->setObjectName(u"resetToDefaults"_s);
        connect(reset, &QPushButton::clicked, this,
            [this] { apply(FWHotkeyConfiguration::defaults()); });
        addTrailingButton(layout, reset);
        break;
    }
    case HotkeySettings::Binder::desktop: {
        // One line for the note and its button: the pane has room for one line below the card.
        auto *line = new QHBoxLayout;
        m_desktopNote = makeNote(u"desktopNote"_s, pane);
        m_configure = new QPushButton(u"Change Shortcuts\u2026"_s, pane);
        m_configure->setObjectName(u"configureInDesktop"_s);
        connect(
            m_configure, &QPushButton::clicked, this, [this] { m_hotkeys.configureInDesktop(); });
        line->addWidget(m_desktopNote, 1);
        line->addWidget(m_configure);
        layout->addLayout(line);
        layout->addStretch();
        break;
    }
    case HotkeySettings::Binder::commands: {
        QLabel *note = makeNote(u"commandsNote"_s, pane);
        note->setText(commandsNote(qEnvironmentVariable("XDG_CURRENT_DESKTOP")));
        layout->addWidget(note);
        layout->addStretch();
        break;
    }
    }

    connect(&m_hotkeys, &HotkeySettings::hotkeyConfigurationChanged, this, &ShortcutsPane::refresh);
    refresh();
}

QWidget *ShortcutsPane::makeRow(
    FWHotkeyAction action, const QString &title, const QString &iconName)
{
    QWidget *row = makeSettingsRow(this);
    QHBoxLayout *layout = rowLayout(row);
    auto *icon = new QLabel(row);
    icon->setFixedWidth(20);
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(themeIcon(iconName, QStyle::SP_FileIcon).pixmap(16, 16));
    layout->addWidget(icon);
    auto *label = new QLabel(title, row);
    // The commands line up in one column.
    if (m_binder == HotkeySettings::Binder::commands)
        label->setFixedWidth(m_titleWidth);
    layout->addWidget(label);
    switch (m_binder) {
    case HotkeySettings::Binder::recorder:
        addRecorderControls(row, action, title);
        break;
    case HotkeySettings::Binder::desktop:
        addDesktopControls(row, action, title);
        break;
    case HotkeySettings::Binder::commands:
        addCommandControls(row, action, title);
        break;
    }
    return row;
}

void ShortcutsPane::addRecorderControls(QWidget *row, FWHotkeyAction action, const QString &title)
{
    auto *recorder = new RecorderView(row);
    recorder->setFixedSize(recorder->sizeHint());
    recorder->setAccessibleName(title);
    recorder->setAction(action);
    recorder->setConfiguration(m_configuration);
    recorder->setCommitHandler([this, action](const FWKeyCombo &combo) { commit(action, combo); });
    m_recorders[action] = recorder;
    rowLayout(row)->addStretch();
    rowLayout(row)->addWidget(recorder);
}

void ShortcutsPane::addDesktopControls(QWidget *row, FWHotkeyAction action, const QString &title)
{
    auto *trigger = new QLabel(row);
    trigger->setObjectName(QString::fromLatin1(hotkeyActionName(action)));
    trigger->setAccessibleName(title);
    trigger->setTextFormat(Qt::PlainText);
    trigger->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_triggers[action] = trigger;
    rowLayout(row)->addStretch();
    rowLayout(row)->addWidget(trigger);
}

void ShortcutsPane::addCommandControls(QWidget *row, FWHotkeyAction action, const QString &title)
{
    const QString command = CommandLine::commandFor(action);
    auto *field = new QLineEdit(command, row);
    field->setObjectName(QString::fromLatin1(hotkeyActionName(action)));
    field->setAccessibleName(title);
    field->setReadOnly(true);
    field->setToolTip(command);
    field->setFont(scaledFont(QFontDatabase::systemFont(QFontDatabase::FixedFont), 12.0 / 13.0));
    // Read-only text on the card, as the General pane's fields show theirs.
    field->setFrame(false);
    QPalette plain = field->palette();
    plain.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(plain);
    // Where the whole path does not fit, its end tells the rows apart: the sub-command.
    field->setCursorPosition(int(command.size()));

    auto *copy = new QToolButton(row);
    copy->setObjectName(field->objectName() + u"Copy"_s);
    // The text shows where the theme has no picture.
    copy->setText(u"Copy"_s);
    copy->setIcon(QIcon::fromTheme(u"edit-copy"_s, QIcon::fromTheme(u"edit-copy-symbolic"_s)));
    copy->setToolTip(u"Copy Command"_s);
    copy->setAccessibleName(u"Copy command for "_s + title);
    copy->setAutoRaise(true);
    connect(copy, &QToolButton::clicked, this,
        [command] { QGuiApplication::clipboard()->setText(command); });

    rowLayout(row)->addSpacing(12);
    rowLayout(row)->addWidget(field, 1);
    rowLayout(row)->addWidget(copy);
}

void ShortcutsPane::commit(FWHotkeyAction action, const FWKeyCombo &combo)
{
    FWHotkeyConfiguration next = m_configuration;
    next.setCombo(action, combo);
    apply(next);
}

void ShortcutsPane::apply(const FWHotkeyConfiguration &next)
{
    // On failure the previous shortcuts are back in effect; the rows keep showing them.
    const bool applied = m_hotkeys.applyHotkeys(next);
    if (applied)
        refresh();
    m_hotkeyError->setVisible(!applied);
}

void ShortcutsPane::refresh()
{
    m_configuration = m_hotkeys.hotkeyConfiguration();
    for (const auto &[action, recorder] : m_recorders)
        recorder->setConfiguration(m_configuration);
    for (const auto &[action, label] : m_triggers) {
        const QString trigger = m_hotkeys.desktopTrigger(action);
        label->setText(trigger.isEmpty() ? notSetText : trigger);
        // Dimmed, as a placeholder is.
        label->setEnabled(!trigger.isEmpty());
    }
    if (m_configure) {
        const bool canConfigure = m_hotkeys.canConfigureInDesktop();
        m_configure->setVisible(canConfigure);
        m_desktopNote->setText(desktopNote(canConfigure));
    }
}

} // namespace Ferrowick
