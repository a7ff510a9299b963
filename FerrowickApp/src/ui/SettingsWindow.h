#pragma once

#include "ui/SettingsView.h"

#include <QMainWindow>

#include <map>

class QAction;

namespace Ferrowick {

using namespace Qt::StringLiterals;

// The one ordinary window of the application: fixed size, a toolbar choosing between General and
// Shortcuts, the settings view below it. Switching panes changes the height only, keeping the
// window's top edge where it is. Deletes itself when closed.
class SettingsWindow : public QMainWindow
{
    Q_OBJECT

public:
    static inline const QString title = u"Ferrowick Settings"_s;

    explicit SettingsWindow(const SettingsServices &services, QWidget *parent = nullptr);

    SettingsView *view() const { return m_view; }
    // What the toolbar's items do; the pane already shown changes nothing.
    void selectPane(SettingsPane pane);
    // The next (1) or previous (-1) pane, round the end; the keyboard's way between panes.
    void stepPane(int step);
    QAction *paneAction(SettingsPane pane) const { return m_paneActions.at(pane); }

signals:
    // The window is closing, by its close button, a close key (Escape too) or a successful save.
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    // The toolbar cannot be hidden or customised.
    QMenu *createPopupMenu() override { return nullptr; }

private:
    SettingsView *m_view;
    std::map<SettingsPane, QAction *> m_paneActions;
};

} // namespace Ferrowick
