#pragma once

// The settings window's building blocks, shared by its panes: SettingsCard (rows grouped on a
// rounded card), Divider, ErrorLine, and the helpers that lay out rows and panes the same way.

#include <QIcon>
#include <QStyle>
#include <QWidget>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace Ferrowick {

inline constexpr int settingsRowHeight = 44;
inline constexpr int settingsRowMargin = 12;

// The theme's picture, or the style's fallback where the theme has none.
QIcon themeIcon(const QString &name, QStyle::StandardPixmap fallback);
QFont scaledFont(const QFont &base, double factor);

// Rows grouped on one rounded card, as the desktop's settings show them.
class SettingsCard final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override;
};

// The line between two rows, indented from the leading edge.
class Divider final : public QWidget
{
public:
    explicit Divider(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *) override;
};

// One red message line; hidden until its condition holds.
class ErrorLine final : public QWidget
{
public:
    ErrorLine(const QString &name, const QString &text, QWidget *parent);

    // For a message that names its cause; long ones wrap.
    void setText(const QString &text);

protected:
    void changeEvent(QEvent *event) override;

private:
    void recolour();

    QLabel *m_text;
};

// A row of the card's height; its layout is a QHBoxLayout with the row's margins.
QWidget *makeSettingsRow(QWidget *parent);
QHBoxLayout *rowLayout(QWidget *row);

// A pane's column with its first card in it: rows go into `rows`, further lines into `column`.
struct SettingsPaneParts
{
    QWidget *widget;
    QVBoxLayout *column;
    QWidget *card;
    QVBoxLayout *rows;
};
SettingsPaneParts makeSettingsPane(QWidget *parent, const QString &name);

// A note below a card, in the message lines' smaller type.
QLabel *makeNote(const QString &name, QWidget *parent);
// The pane's button, at the bottom on the trailing edge.
void addTrailingButton(QVBoxLayout *pane, QPushButton *button);

} // namespace Ferrowick
