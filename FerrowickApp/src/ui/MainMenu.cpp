#include "ui/MainMenu.h"

#include "DebugLog.h"
#include "platform/KeyMap.h"
#include "update/UpdateController.h"

#include <QApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

namespace Ferrowick {

using namespace FWKit;

namespace {

// Freedesktop theme icons standing for the rows' pictures.
const QString newBatchIcon = u"folder-new"_s;
const QString newShrinkIcon = u"insert-link"_s;
const QString newPasteIcon = u"edit-paste"_s;

} // namespace

QString MainMenu::menuText(QString text)
{
    return text.replace(u'&', u"&&"_s);
}

std::optional<QKeySequence> MainMenu::shortcut(std::optional<FWKeyCombo> combo)
{
    // The table holds exactly the keys a menu can show: the named keys, F1-F12, and the keys
    // whose name is one character.
    return combo ? KeyMap::keySequence(*combo) : std::nullopt;
}

QString MainMenu::rowTitle(const QString &title, std::optional<FWKeyCombo> combo)
{
    if (combo && !shortcut(combo))
        return title + u" ("_s + menuText(combo->displayString()) + u')';
    return title;
}

QString MainMenu::desktopRowText(const QString &title, const QString &trigger)
{
    // The desktop's text need not parse as a key sequence, and the key is not ours to set on the
    // row: after a tab, QMenu shows it in the shortcut column all the same.
    return trigger.isEmpty() ? title : title + u'\t' + menuText(trigger);
}

MainMenu::MainMenu(AppModel &model, AppRequests &requests, HotkeySettings &hotkeys, QWidget *parent)
    : QMenu(parent)
    , m_model(model)
    , m_requests(requests)
    , m_hotkeys(hotkeys)
    // Made once: clear() removes a submenu's row but would leave the submenu itself behind.
    , m_batches(new QMenu(u"Batches"_s, this))
    , m_recent(new QMenu(u"Recent"_s, this))
{
    rebuild();
    rebuildBatches();
    rebuildRecent();
    connect(this, &QMenu::aboutToShow, this, [this] {
        m_iconsWanted = true;
        loadIcons();
        rebuildRecent();
    });
    connect(&m_requests.recentLinks(), &RecentLinks::changed, this, &MainMenu::rebuildRecent);
    connect(&m_hotkeys, &HotkeySettings::hotkeyConfigurationChanged, this, &MainMenu::rebuild);
    connect(&m_model, &AppModel::batchesChanged, this, &MainMenu::rebuildBatches);
}

void MainMenu::rebuild()
{
    clear();
    m_pendingIcons.clear();
    addRow(u"New Batch"_s, newBatchIcon, FWHotkeyAction::newBatch, [this] {
        DebugLog::note(u"menu: New Batch"_s);
        m_requests.newBatch();
    });
    addRow(u"New Shrink"_s, newShrinkIcon, FWHotkeyAction::newShrink, [this] {
        DebugLog::note(u"menu: New Shrink"_s);
        m_requests.startShrink();
    });
    addRow(u"New Paste"_s, newPasteIcon, FWHotkeyAction::togglePaste,
        [this] { m_requests.requestPasteToggle(); });

    addMenu(m_batches);
    addMenu(m_recent);
    addSeparator();

    addAction(u"Check for Updates\u2026"_s, this, [this] {
        DebugLog::note(u"menu: Check for Updates\u2026"_s);
        m_requests.checkForUpdates();
    });
    QAction *settings = addAction(u"Settings\u2026"_s, this, [this] {
        DebugLog::note(u"menu: Settings\u2026"_s);
        m_requests.requestSettings();
    });
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    QAction *quit = addAction(u"Quit"_s, qApp, &QCoreApplication::quit);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    if (m_iconsWanted)
        loadIcons();
}

void MainMenu::loadIcons()
{
    for (const auto &[row, iconName] : std::as_const(m_pendingIcons))
        row->setIcon(QIcon::fromTheme(iconName));
    m_pendingIcons.clear();
}

void MainMenu::rebuildBatches()
{
    m_batches->clear();
    for (const Batch &batch : m_model.batches()) {
        m_batches->addAction(menuText(batch.batch), this, [this, batch] {
            if (!m_model.openBatch(batch))
                m_requests.requestSettings();
        });
    }
}

void MainMenu::rebuildRecent()
{
    m_recent->clear();
    const QList<RecentLink> &links = m_requests.recentLinks().links();
    const QDateTime now = QDateTime::currentDateTime();
    for (const RecentLink &link : links) {
        m_recent->addAction(menuText(RecentLinks::label(link, now)), this,
            [this, link] { m_requests.copyRecent(link); });
    }
    m_recent->addSeparator();
    m_recent->addAction(u"Clear Recent"_s, this, [this] {
        DebugLog::note(u"menu: Clear Recent"_s);
        m_requests.clearRecent();
    });
    // Greyed out rather than hidden, so the row stays where the user learnt to look for it.
    m_recent->menuAction()->setEnabled(!links.isEmpty());
}

void MainMenu::addRow(const QString &title, const QString &iconName, FWHotkeyAction action,
    const std::function<void()> &trigger)
{
    QAction *row = addAction(title);
    m_pendingIcons.append({ row, iconName });
    connect(row, &QAction::triggered, this, trigger);
    switch (m_hotkeys.binder()) {
    case HotkeySettings::Binder::recorder: {
        const std::optional<FWKeyCombo> combo = m_hotkeys.hotkeyConfiguration().combo(action);
        row->setText(rowTitle(title, combo));
        if (const auto keys = shortcut(combo))
            row->setShortcut(*keys);
        break;
    }
    case HotkeySettings::Binder::desktop:
        row->setText(desktopRowText(title, m_hotkeys.desktopTrigger(action)));
        break;
    case HotkeySettings::Binder::commands:
        break;
    }
}

} // namespace Ferrowick
