#pragma once

#include "ui/AppRequests.h"

#include <FWKit/AppModel.h>
#include <FWKit/Desktop.h>
#include <FWKit/Outcomes.h>

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace Ferrowick {

using namespace Qt::StringLiterals;

// The paste panel's content: the text, a language and "Submit". One form per opening of the panel,
// so every opening starts empty. The result of a submission is shown in a sheet over the form; the
// form asks for the panel to be hidden through closeRequested() and never hides anything itself.
class PasteForm : public QWidget
{
    Q_OBJECT

public:
    // The picker's entry for "no language chosen", offered only while none is.
    static inline const QString noLanguage = u"\u2014"_s;
    static constexpr int sheetWidth = 420;

    PasteForm(FWKit::AppModel &model, AppRequests &requests, FWKit::Notifying &notifier,
        QWidget *parent = nullptr);

    // Sends the text exactly as typed with the chosen language; the model judges both.
    void submit();
    bool isSubmitting() const { return m_submitting; }
    std::optional<QString> language() const { return m_language; }

    QPlainTextEdit *textArea() const { return m_text; }
    QComboBox *languagePicker() const { return m_picker; }
    QPushButton *submitButton() const { return m_submit; }
    QProgressBar *busyIndicator() const { return m_busy; }
    // The sheet on screen, if any.
    QDialog *sheet() const { return m_sheet; }

signals:
    void closeRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    static QCoro::Task<> loadLanguagesIfNeeded(QPointer<PasteForm> self);
    static QCoro::Task<> runSubmission(
        QPointer<PasteForm> self, QString text, std::optional<QString> language);

    void finishSubmission(const FWKit::PasteOutcome &outcome);
    void setLanguages(const QStringList &languages);
    void setSubmitting(bool submitting);
    void rebuildPicker();
    void pickerChanged(int index);
    void updateControls();
    void showSheet(const QString &message);
    void sheetDismissed();

    FWKit::AppModel &m_model;
    AppRequests &m_requests;
    FWKit::Notifying &m_notifier;
    QPlainTextEdit *m_text = nullptr;
    QLabel *m_pickerLabel = nullptr;
    QComboBox *m_picker = nullptr;
    QProgressBar *m_busy = nullptr;
    QPushButton *m_submit = nullptr;
    QPointer<QDialog> m_sheet;

    QStringList m_languages;
    std::optional<QString> m_language;
    bool m_closeAfterSheet = false;
    bool m_submitting = false;
    bool m_languagesRequested = false;
};

} // namespace Ferrowick
