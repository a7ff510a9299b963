#pragma once

#include <FWKit/HotkeyConfiguration.h>

#include <QWidget>

#include <functional>
#include <optional>

namespace Ferrowick {

using namespace Qt::StringLiterals;

// Shows one action's shortcut and records a new one from the keyboard. A click, or Space or
// Return while focused, starts recording; the next valid combination goes to the commit handler,
// Escape cancels, and losing the focus or the window's activation ends recording. A rejected
// combination beeps and keeps recording. The shown combination changes only through
// setConfiguration() or setCombo(): the owner calls them once the new configuration is in effect.
//
// While it records the control holds the keyboard (an X11 active grab), so combinations the
// desktop or this application have grabbed globally reach it instead of their owners.
class RecorderView : public QWidget
{
    Q_OBJECT

public:
    using CommitHandler = std::function<void(const FWKit::FWKeyCombo &)>;

    static inline const QString recordingText = u"Type shortcut\u2026"_s;
    static inline const QString noComboText = u"\u2014"_s;

    explicit RecorderView(QWidget *parent = nullptr);

    FWKit::FWHotkeyAction action() const { return m_action; }
    void setAction(FWKit::FWHotkeyAction action);
    // The duplicate test's configuration; also shows its combination for the action.
    const FWKit::FWHotkeyConfiguration &configuration() const { return m_configuration; }
    void setConfiguration(const FWKit::FWHotkeyConfiguration &configuration);
    std::optional<FWKit::FWKeyCombo> combo() const { return m_combo; }
    void setCombo(std::optional<FWKit::FWKeyCombo> combo);
    void setCommitHandler(CommitHandler handler) { m_onCommit = std::move(handler); }
    // What a rejected key press plays: QApplication::beep unless replaced.
    void setBeep(std::function<void()> beep) { m_beep = std::move(beep); }

    bool isRecording() const { return m_recording; }
    // What the control shows: the prompt while recording, else the combination or a dash.
    QString text() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void startRecording();
    void stopRecording();
    void capture(const QKeyEvent &event);

    FWKit::FWHotkeyAction m_action = FWKit::FWHotkeyAction::newBatch;
    FWKit::FWHotkeyConfiguration m_configuration = FWKit::FWHotkeyConfiguration::defaults();
    std::optional<FWKit::FWKeyCombo> m_combo;
    CommitHandler m_onCommit;
    std::function<void()> m_beep;
    bool m_recording = false;
};

} // namespace Ferrowick
