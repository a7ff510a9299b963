#include "ui/SettingsView.h"

#include "ui/SettingsCard.h"
#include "ui/ShortcutsPane.h"

#include <FWKit/Outcomes.h>

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Ferrowick {

using namespace FWKit;

namespace {

const QString saveFailedText = u"Credentials could not be saved to the Keychain."_s;
const QString startAtLoginText = u"Start Ferrowick when you log in"_s;
const QString startAtLoginFailedText = u"Start at login could not be changed: %1"_s;

QLineEdit *addFieldRow(
    QVBoxLayout *card, const QString &label, const QString &placeholder, const QString &value)
{
    QWidget *row = makeSettingsRow(card->parentWidget());
    QHBoxLayout *layout = rowLayout(row);
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
    return { 520, pane == SettingsPane::general ? 300 : 310 };
}

SettingsView::SettingsView(const SettingsServices &services, QWidget *parent)
    : QWidget(parent)
    , m_services(services)
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
    m_shortcuts = new ShortcutsPane(m_services.hotkeys, content);
    outer->addWidget(m_general, 1);
    outer->addWidget(m_shortcuts, 1);
    outer->addSpacerItem(new QSpacerItem(0, 12, QSizePolicy::Minimum, QSizePolicy::Preferred));
    scroll->setWidget(content);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    setPane(SettingsPane::general);
}

void SettingsView::setPane(SettingsPane pane)
{
    m_pane = pane;
    m_header->setText(settingsPaneTitle(pane));
    m_general->setVisible(pane == SettingsPane::general);
    m_shortcuts->setVisible(pane == SettingsPane::shortcuts);
    setFixedSize(settingsPaneSize(pane));
    if (pane == SettingsPane::general)
        showStartAtLogin();
}

void SettingsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    showStartAtLogin();
}

// A window brought back to the front may have been left open while the entry changed.
void SettingsView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        showStartAtLogin();
    QWidget::changeEvent(event);
}

QWidget *SettingsView::makeGeneral()
{
    const auto [pane, layout, card, rows] = makeSettingsPane(this, u"general"_s);
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
    if (m_services.autostart) {
        // Save belongs to the credentials; the start at login below takes effect when ticked.
        auto *saveRow = new QHBoxLayout;
        saveRow->addStretch();
        saveRow->addWidget(save);
        layout->addLayout(saveRow);
        addStartAtLogin(pane, layout);
        layout->addStretch();
    } else {
        addTrailingButton(layout, save);
    }

    // The default button's key, wherever the focus is in the pane.
    auto *saveKey = new QShortcut(pane);
    saveKey->setKeys({ QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter) });
    saveKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(saveKey, &QShortcut::activated, this, &SettingsView::save);
    return pane;
}

void SettingsView::addStartAtLogin(QWidget *pane, QVBoxLayout *column)
{
    auto *card = new SettingsCard(pane);
    auto *rows = new QVBoxLayout(card);
    rows->setContentsMargins(0, 0, 0, 0);
    QWidget *row = makeSettingsRow(card);
    m_startAtLogin = new QCheckBox(startAtLoginText, row);
    m_startAtLogin->setObjectName(u"startAtLogin"_s);
    rowLayout(row)->addWidget(m_startAtLogin);
    rows->addWidget(row);
    column->addWidget(card);
    m_startAtLoginFailed = new ErrorLine(u"startAtLoginFailed"_s, QString(), pane);
    column->addWidget(m_startAtLoginFailed);
    // Only the user's clicks: showing the state is no reason to write it.
    connect(m_startAtLogin, &QCheckBox::clicked, this, &SettingsView::setStartAtLogin);
}

void SettingsView::showStartAtLogin()
{
    if (m_startAtLogin)
        m_startAtLogin->setChecked(m_services.autostart->isEnabled());
}

void SettingsView::setStartAtLogin(bool enabled)
{
    const std::expected<void, QString> changed = m_services.autostart->setEnabled(enabled);
    if (changed) {
        m_startAtLoginFailed->hide();
    } else {
        m_startAtLoginFailed->setText(startAtLoginFailedText.arg(changed.error()));
        m_startAtLoginFailed->show();
    }
    showStartAtLogin();
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

} // namespace Ferrowick
