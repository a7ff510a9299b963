#include "ui/SettingsWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QLayout>
#include <QSystemTrayIcon>
#include <QToolBar>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace Ferrowick {

SettingsWindow::SettingsWindow(const SettingsServices &services, QWidget *parent)
    : QMainWindow(parent,
          Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_view(new SettingsView(services, this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // A tray application goes on without windows.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(title);
    setCentralWidget(m_view);

    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(u"FerrowickSettings"_s);
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, toolbar);
    auto *panes = new QActionGroup(this);
    panes->setExclusive(true);
    for (const SettingsPane pane : allSettingsPanes) {
        QAction *action = toolbar->addAction(settingsPaneIcon(pane), settingsPaneTitle(pane));
        action->setObjectName(settingsPaneTitle(pane));
        action->setCheckable(true);
        action->setChecked(pane == m_view->pane());
        panes->addAction(action);
        connect(action, &QAction::triggered, this, [this, pane] { selectPane(pane); });
        m_paneActions[pane] = action;
    }
    // Without a tray this window is the only way to end the program.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        auto *spacer = new QWidget(toolbar);
        spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        toolbar->addWidget(spacer);
        QAction *quit = toolbar->addAction(QIcon::fromTheme(u"application-exit"_s),
            u"Quit Ferrowick"_s, qApp, &QCoreApplication::quit);
        quit->setObjectName(u"quit"_s);
    }

    // The keys of any preferences window. A recorder that is recording takes every key first.
    auto *close = new QAction(this);
    QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    closeKeys << QKeySequence(Qt::Key_Escape);
    close->setShortcuts(closeKeys);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    const auto addPaneStep = [this](int step, const QList<QKeySequence> &keys) {
        auto *action = new QAction(this);
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, [this, step] { stepPane(step); });
        addAction(action);
    };
    addPaneStep(
        1, { QKeySequence(Qt::CTRL | Qt::Key_PageDown), QKeySequence(Qt::CTRL | Qt::Key_Tab) });
    addPaneStep(-1,
        { QKeySequence(Qt::CTRL | Qt::Key_PageUp),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab) });
    connect(m_view, &SettingsView::closeRequested, this, &QWidget::close);

    // The size follows the pane's content; the user cannot resize.
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void SettingsWindow::selectPane(SettingsPane pane)
{
    if (pane == m_view->pane())
        return;
    m_paneActions.at(pane)->setChecked(true);
    const QPoint origin = pos();
    m_view->setPane(pane);
    // Resize now, not when the layout's request comes round, and hold the top-left corner.
    layout()->activate();
    if (pos() != origin)
        move(origin);
}

void SettingsWindow::stepPane(int step)
{
    const auto count = int(allSettingsPanes.size());
    const auto current =
        int(std::ranges::find(allSettingsPanes, m_view->pane()) - allSettingsPanes.begin());
    selectPane(allSettingsPanes.at(std::size_t((current + step + count) % count)));
    // The keyboard goes on into the pane shown.
    if (focusWidget() && focusWidget()->isVisible())
        return;
    for (QWidget *next = m_view->nextInFocusChain(); next != m_view;
         next = next->nextInFocusChain()) {
        if (m_view->isAncestorOf(next) && next->isVisible() && next->isEnabled() &&
            (next->focusPolicy() & Qt::TabFocus)) {
            next->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void SettingsWindow::closeEvent(QCloseEvent *event)
{
    emit closing();
    QMainWindow::closeEvent(event);
}

} // namespace Ferrowick
