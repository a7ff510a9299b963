#include "ui/SettingsCard.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

// The one colour not taken from the palette: the desktop's usual error red, lighter on dark.
QColor errorColour(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(0xff, 0x7b, 0x63)
                                                             : QColor(0xc0, 0x1c, 0x28);
}

// An exclamation mark in a filled circle, cut out of the circle.
class ErrorIcon final : public QWidget
{
public:
    explicit ErrorIcon(QWidget *parent)
        : QWidget(parent)
    {
        const int side = fontMetrics().height();
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF circle = QRectF(rect()).adjusted(1, 1, -1, -1);
        painter.setPen(Qt::NoPen);
        painter.setBrush(errorColour(palette()));
        painter.drawEllipse(circle);
        const double unit = circle.width() / 12;
        const QPointF centre = circle.center();
        painter.setBrush(palette().color(QPalette::Window));
        painter.drawRoundedRect(
            QRectF(centre.x() - unit * 0.75, circle.top() + unit * 2.5, unit * 1.5, unit * 4.5),
            unit * 0.75, unit * 0.75);
        painter.drawEllipse(QPointF(centre.x(), circle.top() + unit * 9), unit * 0.9, unit * 0.9);
    }
};

QVBoxLayout *stackedLayout(QWidget *widget, int spacing)
{
    auto *layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// The size of the message lines and notes under a card.
constexpr double noteScale = 12.0 / 13.0;

} // namespace

// Icon themes name most pictures only in their symbolic form, which Qt 6.4 does not look for.
QIcon themeIcon(const QString &name, QStyle::StandardPixmap fallback)
{
    for (const QString &candidate : { name, name + u"-symbolic"_s }) {
        if (QIcon::hasThemeIcon(candidate))
            return QIcon::fromTheme(candidate);
    }
    return QApplication::style()->standardIcon(fallback);
}

QFont scaledFont(const QFont &base, double factor)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    return font;
}

void SettingsCard::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
    // A faint wash of the text colour: a shade darker on light themes, lighter on dark ones.
    QColor wash = palette().color(QPalette::WindowText);
    wash.setAlphaF(0.05);
    painter.fillPath(path, wash);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    painter.drawPath(path);
}

Divider::Divider(QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(1);
}

void Divider::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QRect line = rect();
    if (layoutDirection() == Qt::LeftToRight)
        line.setLeft(settingsRowMargin);
    else
        line.setRight(width() - 1 - settingsRowMargin);
    painter.fillRect(line, palette().color(QPalette::Mid));
}

ErrorLine::ErrorLine(const QString &name, const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_text(new QLabel(text, this))
{
    setObjectName(name);
    setFont(scaledFont(font(), noteScale));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(new ErrorIcon(this));
    layout->addWidget(m_text, 1);
    recolour();
    hide();
}

void ErrorLine::setText(const QString &text)
{
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    m_text->setText(text);
}

void ErrorLine::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange)
        recolour();
    QWidget::changeEvent(event);
}

void ErrorLine::recolour()
{
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::WindowText, errorColour(this->palette()));
    m_text->setPalette(palette);
}

QWidget *makeSettingsRow(QWidget *parent)
{
    auto *row = new QWidget(parent);
    row->setFixedHeight(settingsRowHeight);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(settingsRowMargin, 0, settingsRowMargin, 0);
    return row;
}

QHBoxLayout *rowLayout(QWidget *row)
{
    return static_cast<QHBoxLayout *>(row->layout());
}

SettingsPaneParts makeSettingsPane(QWidget *parent, const QString &name)
{
    auto *widget = new QWidget(parent);
    widget->setObjectName(name);
    auto *card = new SettingsCard(widget);
    SettingsPaneParts pane { widget, stackedLayout(widget, 12), card, stackedLayout(card, 0) };
    pane.column->addWidget(card);
    return pane;
}

QLabel *makeNote(const QString &name, QWidget *parent)
{
    auto *note = new QLabel(parent);
    note->setObjectName(name);
    note->setFont(scaledFont(note->font(), noteScale));
    note->setWordWrap(true);
    note->setTextFormat(Qt::PlainText);
    return note;
}

void addTrailingButton(QVBoxLayout *pane, QPushButton *button)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(button);
    pane->addStretch();
    pane->addLayout(row);
}

} // namespace Ferrowick
