#include "ui/SettingsView.h"

#include "ui/RecorderView.h"

#include <FWKit/Outcomes.h>

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Ferrowick {

using namespace FWKit;

namespace {

constexpr int rowHeight = 44;

const QString saveFailedText = u"Credentials could not be saved to the Keychain."_s;
const QString hotkeyErrorText = u"Shortcut could not be registered. Another app may be using it."_s;
constexpr int rowMargin = 12;

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

// The one colour not taken from the palette: the desktop's usual error red, lighter on dark.
QColor errorColour(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128 ? QColor(0xff, 0x7b, 0x63)
                                                             : QColor(0xc0, 0x1c, 0x28);
}

// Rows grouped on one rounded card, as the desktop's settings show them.
class Card final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
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
};

// The line between two rows, indented from the leading edge.
class Divider final : public QWidget
{
public:
    explicit Divider(QWidget *parent)
        : QWidget(parent)
    {
        setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QRect line = rect();
        if (layoutDirection() == Qt::LeftToRight)
            line.setLeft(rowMargin);
        else
            line.setRight(width() - 1 - rowMargin);
        painter.fillRect(line, palette().color(QPalette::Mid));
    }
};

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

// One red message line; hidden until its condition holds.
class ErrorLine final : public QWidget
{
public:
    ErrorLine(const QString &name, const QString &text, QWidget *parent)
        : QWidget(parent)
        , m_text(new QLabel(text, this))
    {
        setObjectName(name);
        setFont(scaledFont(font(), 12.0 / 13.0));
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(6);
        layout->addWidget(new ErrorIcon(this));
        layout->addWidget(m_text, 1);
        recolour();
        hide();
    }

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange)
            recolour();
        QWidget::changeEvent(event);
    }

private:
    void recolour()
    {
        QPalette palette = m_text->palette();
        palette.setColor(QPalette::WindowText, errorColour(this->palette()));
        m_text->setPalette(palette);
    }

    QLabel *m_text;
};

QWidget *makeRow(QWidget *parent)
{
    auto *row = new QWidget(parent);
    row->setFixedHeight(rowHeight);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(rowMargin, 0, rowMargin, 0);
    return row;
}

QLineEdit *addFieldRow(
    QVBoxLayout *card, const QString &label, const QString &placeholder, const QString &value)
{
    QWidget *row = makeRow(card->parentWidget());
    auto *layout = static_cast<QHBoxLayout *>(row->layout());
    auto *title = new QLabel(label, row);
    auto *field = new QLineEdit(value, row);
    field->setObjectName(label.toLower());
    field->setPlaceholderText(placeholder);
    field->setAccessibleName(label);
    // Plain fields on the card, as in the desktop's own settings rows.
    field->setFrame(false);
    QPalette plain = field->palette();
    plain.setColor(QPalette::Base, Qt::transparent);
    field->setPalette(plain);
    field->setFixedWidth(300);
    title->setBuddy(field);
    layout->addWidget(title);
    layout->addSpacing(24);
    layout->addStretch();
    layout->addWidget(field);
    card->addWidget(row);
    return field;
}

QVBoxLayout *stackedLayout(QWidget *widget, int spacing)
{
    auto *layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

// A pane's column with its first card in it: rows go into `rows`, further lines into `column`.
struct Pane
{
    QWidget *widget;
    QVBoxLayout *column;
    QWidget *card;
    QVBoxLayout *rows;
};

Pane makePane(QWidget *parent, const QString &name)
{
    auto *widget = new QWidget(parent);
    widget->setObjectName(name);
    auto *card = new Card(widget);
    Pane pane { widget, stackedLayout(widget, 12), card, stackedLayout(card, 0) };
    pane.column->addWidget(card);
    return pane;
}

void addTrailingButton(QVBoxLayout *pane, QPushButton *button)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(button);
    pane->addStretch();
    pane->addLayout(row);
}

} // namespace

QString settingsPaneTitle(SettingsPane pane)
{
    return pane == SettingsPane::general ? u"General"_s : u"Shortcuts"_s;
}

QIcon settingsPaneIcon(SettingsPane pane)
{
    return pane == SettingsPane::general
        ? themeIcon(u"preferences-system"_s, QStyle::SP_FileDialogDetailedView)
        : themeIcon(u"input-keyboard"_s, QStyle::SP_ComputerIcon);
}

QSize settingsPaneSize(SettingsPane pane)
{
    return { 520, pane == SettingsPane::general ? 230 : 310 };
}

SettingsView::SettingsView(const SettingsServices &services, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
    , m_configuration(services.hotkeys.hotkeyConfiguration())
{
    // Scrolls only when larger fonts or a message make the content taller than the window.
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The keyboard starts in the first field, not on the scroll area around it.
    scroll->setFocusPolicy(Qt::NoFocus);
    auto *content = new QWidget(scroll);
    auto *outer = new QVBoxLayout(content);
    // Half of the bottom margin gives way to a message line before a scroll bar has to appear.
    outer->setContentsMargins(24, 24, 24, 12);
    outer->setSpacing(16);
    m_header = new QLabel(content);
    QFont headline = m_header->font();
    headline.setWeight(QFont::DemiBold);
    m_header->setFont(headline);
    outer->addWidget(m_header);
    m_general = makeGeneral();
    m_shortcuts = makeShortcuts();
    outer->addWidget(m_general, 1);
    outer->addWidget(m_shortcuts, 1);
    outer->addSpacerItem(new QSpacerItem(0, 12, QSizePolicy::Minimum, QSizePolicy::Preferred));
    scroll->setWidget(content);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    connect(&m_services.hotkeys, &HotkeySettings::hotkeyConfigurationChanged, this,
        [this] { showConfiguration(m_services.hotkeys.hotkeyConfiguration()); });
    setPane(SettingsPane::general);
}

void SettingsView::setPane(SettingsPane pane)
{
    m_pane = pane;
    m_header->setText(settingsPaneTitle(pane));
    m_general->setVisible(pane == SettingsPane::general);
    m_shortcuts->setVisible(pane == SettingsPane::shortcuts);
    setFixedSize(settingsPaneSize(pane));
}

QWidget *SettingsView::makeGeneral()
{
    const auto [pane, layout, card, rows] = makePane(this, u"general"_s);
    m_login = addFieldRow(
        rows, u"Login"_s, u"ferrowick login"_s, m_services.store.login().value_or(QString()));
    rows->addWidget(new Divider(card));
    m_password = addFieldRow(rows, u"Password"_s, u"ferrowick password"_s,
        m_services.store.password().value_or(QString()));
    m_password->setEchoMode(QLineEdit::Password);

    m_missingFields = new ErrorLine(u"missingFields"_s, NoticeCopy::missingFields, pane);
    m_saveFailed = new ErrorLine(u"saveFailed"_s, saveFailedText, pane);
    layout->addWidget(m_missingFields);
    layout->addWidget(m_saveFailed);

    auto *save = new QPushButton(u"Save"_s, pane);
    save->setObjectName(u"save"_s);
    save->setDefault(true);
    connect(save, &QPushButton::clicked, this, &SettingsView::save);
    addTrailingButton(layout, save);

    // The default button's key, wherever the focus is in the pane.
    auto *saveKey = new QShortcut(pane);
    saveKey->setKeys({ QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter) });
    saveKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(saveKey, &QShortcut::activated, this, &SettingsView::save);
    return pane;
}

QWidget *SettingsView::makeShortcuts()
{
    const auto [pane, layout, card, rows] = makePane(this, u"shortcuts"_s);
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
    for (const auto &row : table) {
        if (row.action != table[0].action)
            rows->addWidget(new Divider(card));
        rows->addWidget(makeHotkeyRow(
            row.action, QString::fromLatin1(row.title), QString::fromLatin1(row.icon)));
    }

    m_hotkeyError = new ErrorLine(u"hotkeyError"_s, hotkeyErrorText, pane);
    layout->addWidget(m_hotkeyError);

    auto *reset = new QPushButton(u"Reset to Defaults"_s, pane);
    reset->setObjectName(u"resetToDefaults"_s);
    connect(
        reset, &QPushButton::clicked, this, [this] { apply(FWHotkeyConfiguration::defaults()); });
    addTrailingButton(layout, reset);
    return pane;
}

QWidget *SettingsView::makeHotkeyRow(
    FWHotkeyAction action, const QString &title, const QString &iconName)
{
    QWidget *row = makeRow(this);
    auto *layout = static_cast<QHBoxLayout *>(row->layout());
    auto *icon = new QLabel(row);
    icon->setFixedWidth(20);
    icon->setAlignment(Qt::AlignCenter);
    icon->setPixmap(themeIcon(iconName, QStyle::SP_FileIcon).pixmap(16, 16));
    auto *recorder = new RecorderView(row);
    recorder->setFixedSize(recorder->sizeHint());
    recorder->setAccessibleName(title);
    recorder->setAction(action);
    recorder->setConfiguration(m_configuration);
    recorder->setCommitHandler([this, action](const FWKeyCombo &combo) { commit(action, combo); });
    m_recorders[action] = recorder;
    layout->addWidget(icon);
    layout->addWidget(new QLabel(title, row));
    layout->addStretch();
    layout->addWidget(recorder);
    return row;
}

void SettingsView::save()
{
    const SettingsOutcome outcome = m_services.model.signIn(m_login->text(), m_password->text());
    switch (outcome.kind()) {
    case SettingsOutcome::Kind::missingFields:
        m_missingFields->show();
        m_saveFailed->hide();
        break;
    case SettingsOutcome::Kind::saveFailed:
        m_saveFailed->show();
        m_missingFields->hide();
        break;
    case SettingsOutcome::Kind::saved:
        emit closeRequested();
        break;
    }
}

void SettingsView::commit(FWHotkeyAction action, const FWKeyCombo &combo)
{
    FWHotkeyConfiguration next = m_configuration;
    next.setCombo(action, combo);
    apply(next);
}

void SettingsView::apply(const FWHotkeyConfiguration &next)
{
    // On failure the previous shortcuts are back in effect; the rows keep showing them.
    const bool applied = m_services.hotkeys.applyHotkeys(next);
    if (applied)
        showConfiguration(next);
    m_hotkeyError->setVisible(!applied);
}

void SettingsView::showConfiguration(const FWHotkeyConfiguration &configuration)
{
    m_configuration = configuration;
    for (const auto &[action, recorder] : m_recorders)
        recorder->setConfiguration(configuration);
}

} // namespace Ferrowick
