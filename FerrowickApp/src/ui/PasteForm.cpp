#include "ui/PasteForm.h"

#include <FWKit/Outcomes.h>

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace Ferrowick {

using namespace FWKit;

namespace {

constexpr int outerMargin = 20;
constexpr int barSpacing = 12;
constexpr int pickerMaximumWidth = 240;
constexpr int sheetMargin = 24;
constexpr int sheetSpacing = 16;
// The text sits 16 inside the outline: the frame's inset plus the document's own margin. The inset
// also keeps the scroll bar clear of the rounded corners.
constexpr int textInset = 16;
constexpr int documentMargin = 4;
constexpr qreal cornerRadius = 12;

// The text area's rounded field: the base colour, outlined by a faint separator line.
class TextField : public QWidget
{
public:
    TextField(QPlainTextEdit *edit, QWidget *parent)
        : QWidget(parent)
    {
        auto *layout = new QVBoxLayout(this);
        const int inset = textInset - documentMargin;
        layout->setContentsMargins(inset, inset, inset, inset);
        layout->addWidget(edit);
        // A click on the field's margin puts the cursor in the text.
        setFocusProxy(edit);
        setFocusPolicy(Qt::ClickFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor outline = palette().color(QPalette::Mid);
        outline.setAlphaF(outline.alphaF() * 0.5f);
        painter.setPen(QPen(outline, 1));
        painter.setBrush(palette().base());
        // Half a pixel in: the one-pixel line lies inside the field's border.
        painter.drawRoundedRect(
            QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
    }
};

} // namespace

PasteForm::PasteForm(AppModel &model, AppRequests &requests, Notifying &notifier, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_requests(requests)
    , m_notifier(notifier)
{
    setMinimumSize(520, 380);

    m_text = new QPlainTextEdit;
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setAccessibleName(u"Paste"_s);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->document()->setDocumentMargin(documentMargin);
    // The field behind it paints the background.
    QPalette transparent = m_text->palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    m_text->setPalette(transparent);

    auto *textRow = new QVBoxLayout;
    textRow->setContentsMargins(outerMargin, outerMargin, outerMargin, 0);
    textRow->addWidget(new TextField(m_text, this));

    m_pickerLabel = new QLabel(u"Language"_s);
    m_picker = new QComboBox;
    m_picker->setAccessibleName(u"Language"_s);
    m_picker->setMaximumWidth(pickerMaximumWidth);
    m_picker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_pickerLabel->setBuddy(m_picker);
    connect(m_picker, &QComboBox::currentIndexChanged, this, &PasteForm::pickerChanged);

    m_busy = new QProgressBar;
    m_busy->setRange(0, 0);
    m_busy->setTextVisible(false);
    m_busy->setAccessibleName(u"Submit"_s);
    m_busy->setMaximumWidth(64);
    m_busy->hide();

    m_submit = new QPushButton(u"Submit"_s);
    m_submit->setDefault(true);
    connect(m_submit, &QPushButton::clicked, this, &PasteForm::submit);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(outerMargin, outerMargin, outerMargin, outerMargin);
    bar->setSpacing(barSpacing);
    bar->addWidget(m_pickerLabel);
    bar->addWidget(m_picker);
    bar->addStretch();
    bar->addWidget(m_busy);
    bar->addWidget(m_submit);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(textRow, 1);
    layout->addLayout(bar);

    // Return makes a new line in the text, so the default action needs a chord there.
    auto *submitKeys = new QShortcut(this);
    submitKeys->setKeys(
        { QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter) });
    submitKeys->setContext(Qt::WidgetWithChildrenShortcut);
    connect(submitKeys, &QShortcut::activated, this, [this] {
        if (m_submit->isEnabled())
            submit();
    });

    setFocusProxy(m_text);
    rebuildPicker();
    updateControls();
}

void PasteForm::submit()
{
    if (m_submitting)
        return;
    setSubmitting(true);
    runSubmission(this, m_text->toPlainText(), m_language);
}

QCoro::Task<> PasteForm::runSubmission(
    QPointer<PasteForm> self, QString text, std::optional<QString> language)
{
    // The model lives exactly as long as the application answering the requests.
    const QPointer<AppModel> model(&self->m_model);
    AppRequests &requests = self->m_requests;
    const PasteOutcome outcome = co_await model->submitPaste(std::move(text), std::move(language));
    // A form replaced meanwhile is gone; its panel has a fresh one, which keeps what the user
    // types there. Only the way to the missing credentials must not be lost with it.
    if (self)
        self->finishSubmission(outcome);
    else if (model && outcome.kind() == PasteOutcome::Kind::needsLogin)
        requests.requestSettings();
}

void PasteForm::finishSubmission(const PasteOutcome &outcome)
{
    setSubmitting(false);
    switch (outcome.kind()) {
    case PasteOutcome::Kind::copied:
        m_closeAfterSheet = true;
        showSheet(NoticeCopy::formatted(NoticeCopy::pasteCopied, outcome.url()));
        break;
    case PasteOutcome::Kind::failed:
        // The text stays as typed, for another try.
        showSheet(outcome.message());
        break;
    case PasteOutcome::Kind::needsLogin: {
        AppRequests &requests = m_requests;
        emit closeRequested();
        requests.requestSettings();
        break;
    }
    }
}

QCoro::Task<> PasteForm::loadLanguagesIfNeeded(QPointer<PasteForm> self)
{
    // Kept by the application even when the form has gone meanwhile: the next one needs no
    // request.
    const QStringList languages = co_await self->m_requests.pasteLanguages();
    if (!self)
        co_return;
    self->setLanguages(languages);
    if (self->m_languages.isEmpty())
        self->m_notifier.notify(NoticeCopy::title, NoticeCopy::apiIssue);
}

void PasteForm::setLanguages(const QStringList &languages)
{
    m_languages = languages;
    m_language = languages.isEmpty() ? std::nullopt : std::optional(languages.first());
    rebuildPicker();
    updateControls();
}

void PasteForm::setSubmitting(bool submitting)
{
    m_submitting = submitting;
    updateControls();
}

void PasteForm::rebuildPicker()
{
    const QSignalBlocker blocker(m_picker);
    m_picker->clear();
    if (!m_language)
        m_picker->addItem(noLanguage);
    for (const QString &language : std::as_const(m_languages))
        m_picker->addItem(language, language);
    m_picker->setCurrentIndex(m_language ? m_picker->findData(*m_language) : 0);
}

void PasteForm::pickerChanged(int index)
{
    const QVariant chosen = m_picker->itemData(index);
    if (!chosen.isValid())
        return;
    const bool hadNone = !m_language;
    m_language = chosen.toString();
    // The "no language" entry is offered only while no language is chosen.
    if (hadNone)
        rebuildPicker();
}

void PasteForm::updateControls()
{
    const bool canPick = !m_languages.isEmpty() && !m_submitting;
    m_picker->setEnabled(canPick);
    m_pickerLabel->setEnabled(canPick);
    m_busy->setVisible(m_submitting);
    m_submit->setEnabled(!m_submitting);
}

void PasteForm::showSheet(const QString &message)
{
    // The panel was hidden while the service answered: nobody would see the sheet.
    if (!isVisible())
        return;
    if (m_sheet)
        m_sheet->reject();

    auto *sheet = new QDialog(this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowTitle(window()->windowTitle());
    auto *label = new QLabel(message);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Not the standard Ok button: its icon is loaded afresh for every sheet, and each fresh icon
    // takes a new entry in Qt's pixmap cache once painted (10 MB before it evicts anything).
    auto *buttons = new QDialogButtonBox;
    buttons->setCenterButtons(true);
    buttons->addButton(u"OK"_s, QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, sheet, &QDialog::accept);

    auto *layout = new QVBoxLayout(sheet);
    layout->setContentsMargins(sheetMargin, sheetMargin, sheetMargin, sheetMargin);
    layout->setSpacing(sheetSpacing);
    layout->addWidget(label);
    layout->addWidget(buttons);
    const int height = sheet->heightForWidth(sheetWidth);
    sheet->setFixedSize(sheetWidth, height > 0 ? height : sheet->sizeHint().height());

    connect(sheet, &QDialog::finished, this, &PasteForm::sheetDismissed);
    m_sheet = sheet;
    sheet->open();
}

void PasteForm::sheetDismissed()
{
    if (m_closeAfterSheet) {
        emit closeRequested();
        return;
    }
    // Back to editing. A clicked Submit button had the focus, and lost it when it was disabled;
    // and not every window manager hands the focus back to the panel.
    if (!isVisible())
        return;
    m_text->setFocus();
    window()->activateWindow();
}

void PasteForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_languagesRequested)
        return;
    m_languagesRequested = true;
    m_text->setFocus();
    loadLanguagesIfNeeded(this);
}

void PasteForm::hideEvent(QHideEvent *event)
{
    // The sheet belongs over the form; a hidden panel leaves no sheet floating on its own.
    if (m_sheet && !event->spontaneous())
        m_sheet->reject();
    QWidget::hideEvent(event);
}

void PasteForm::keyPressEvent(QKeyEvent *event)
{
    // The default action, for keys the focused control did not take (the text area takes
    // Return; Ctrl+Return submits from there).
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (m_submit->isEnabled())
            submit();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace Ferrowick
