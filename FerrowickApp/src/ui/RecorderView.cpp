#include "ui/RecorderView.h"

#include "platform/KeyMap.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

namespace Ferrowick {

using namespace FWKit;

namespace {

// Keys that only start a combination: pressing one alone is not an attempt to record.
bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

// The desktop's small font where the theme has one; otherwise the usual small-to-regular ratio.
QFont smallFont(const QFont &regular)
{
    const QFont themed = QApplication::font("QSmallFont");
    if (themed != QApplication::font())
        return themed;
    QFont font = regular;
    font.setPointSizeF(regular.pointSizeF() * 11.0 / 13.0);
    return font;
}

} // namespace

RecorderView::RecorderView(QWidget *parent)
    : QWidget(parent)
    , m_beep(&QApplication::beep)
{
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void RecorderView::setAction(FWHotkeyAction action)
{
    m_action = action;
}

void RecorderView::setConfiguration(const FWHotkeyConfiguration &configuration)
{
    m_configuration = configuration;
    setCombo(configuration.combo(m_action));
}

void RecorderView::setCombo(std::optional<FWKeyCombo> combo)
{
    if (combo == m_combo)
        return;
    m_combo = combo;
    update();
}

QString RecorderView::text() const
{
    if (m_recording)
        return recordingText;
    return m_combo ? KeyMap::nativeText(*m_combo) : noComboText;
}

QSize RecorderView::sizeHint() const
{
    return { 148, 32 };
}

bool RecorderView::event(QEvent *event)
{
    if (m_recording) {
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Every key belongs to the recording: no application shortcut fires meanwhile.
            event->accept();
            return true;
        case QEvent::KeyPress:
            // Before QWidget sees Tab: it is a key like any other here.
            capture(static_cast<const QKeyEvent &>(*event));
            event->accept();
            return true;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

void RecorderView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
        startRecording();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void RecorderView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    startRecording();
    event->accept();
}

void RecorderView::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void RecorderView::focusOutEvent(QFocusEvent *event)
{
    stopRecording();
    update();
    QWidget::focusOutEvent(event);
}

void RecorderView::hideEvent(QHideEvent *event)
{
    stopRecording();
    QWidget::hideEvent(event);
}

void RecorderView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        stopRecording();
    QWidget::changeEvent(event);
}

void RecorderView::startRecording()
{
    if (!m_recording) {
        m_recording = true;
        // Without it a combination grabbed by anyone, this application included, goes to the grab.
        grabKeyboard();
    }
    update();
}

void RecorderView::stopRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    if (keyboardGrabber() == this)
        releaseKeyboard();
    update();
}

void RecorderView::capture(const QKeyEvent &event)
{
    if (event.key() == Qt::Key_Escape) {
        stopRecording();
        clearFocus();
        return;
    }
    if (isModifierKey(event.key()))
        return;

    const std::optional<std::uint32_t> keyCode =
        KeyMap::keyCodeForQtKey(event.key(), event.modifiers());
    const FWKeyCombo combo { keyCode.value_or(0), KeyMap::carbonModifiers(event.modifiers()) };
    const bool accepted = !event.isAutoRepeat() && keyCode &&
        FWHotkeyConfiguration::isBindable(*keyCode) && FWHotkeyConfiguration::isValid(combo) &&
        !m_configuration.isDuplicate(combo, m_action);
    if (!accepted) {
        if (m_beep)
            m_beep();
        return;
    }

    const QPointer<RecorderView> self(this);
    if (m_onCommit)
        m_onCommit(combo);
    if (!self)
        return;
    stopRecording();
    clearFocus();
}

void RecorderView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF shape = QRectF(rect()).adjusted(1, 1, -1, -1);
    const bool highlighted = m_recording || hasFocus();
    QPainterPath path;
    path.addRoundedRect(shape, 8, 8);
    painter.fillPath(path, palette().brush(QPalette::Base));
    painter.setPen(QPen(
        palette().color(highlighted ? QPalette::Highlight : QPalette::Mid), highlighted ? 2 : 1));
    painter.drawPath(path);

    painter.setFont(smallFont(font()));
    painter.setPen(palette().color(m_recording ? QPalette::PlaceholderText : QPalette::Text));
    const QString shown = painter.fontMetrics().elidedText(text(), Qt::ElideMiddle, width() - 12);
    painter.drawText(rect(), Qt::AlignCenter, shown);
}

} // namespace Ferrowick
