#include "ui/UpdateDialogs.h"

#include "AppActivation.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTextDocumentFragment>

using namespace Qt::StringLiterals;

namespace Ferrowick {

namespace {

// What the feed says about the release, as plain text for the dialog's details.
QString releaseNotes(const AppcastItem &item)
{
    QString notes = Qt::mightBeRichText(item.description)
        ? QTextDocumentFragment::fromHtml(item.description).toPlainText().trimmed()
        : item.description;
    if (!item.releaseNotesUrl.isEmpty()) {
        if (!notes.isEmpty())
            notes += u"\n\n"_s;
        notes += u"Release notes: "_s + item.releaseNotesUrl.toString(QUrl::FullyEncoded);
    }
    return notes;
}

} // namespace

UpdateDialogs::~UpdateDialogs()
{
    if (m_dialog) {
        m_dialog->disconnect();
        delete m_dialog;
    }
}

void UpdateDialogs::show(UpdateAnswer answer, const AppcastItem &item,
    const QString &currentVersion, std::function<void(UpdateChoice)> chosen)
{
    auto *dialog = new QMessageBox;
    dialog->setWindowTitle(u"Software Update"_s);
    dialog->setWindowModality(Qt::ApplicationModal);
    switch (answer) {
    case UpdateAnswer::upToDate:
        dialog->setObjectName(u"updateUpToDate"_s);
        dialog->setIcon(QMessageBox::Information);
        dialog->setText(u"You're up to date!"_s);
        dialog->setInformativeText(
            u"Ferrowick %1 is currently the newest version available."_s.arg(currentVersion));
        dialog->setDefaultButton(dialog->addButton(u"OK"_s, QMessageBox::AcceptRole));
        break;
    case UpdateAnswer::error:
        dialog->setObjectName(u"updateError"_s);
        dialog->setIcon(QMessageBox::Warning);
        dialog->setText(u"Update Error!"_s);
        dialog->setInformativeText(u"An error occurred in retrieving update information. "
                                   u"Please try again later."_s);
        dialog->setDefaultButton(dialog->addButton(u"OK"_s, QMessageBox::AcceptRole));
        break;
    case UpdateAnswer::newVersion: {
        dialog->setObjectName(u"updateAvailable"_s);
        dialog->setIcon(QMessageBox::Information);
        dialog->setText(u"A new version of Ferrowick is available!"_s);
        dialog->setInformativeText(
            u"Ferrowick %1 is now available—you have %2. Would you like to download it now?"_s.arg(
                item.displayVersion(), currentVersion));
        dialog->setDetailedText(releaseNotes(item));
        QPushButton *download = dialog->addButton(u"Download"_s, QMessageBox::AcceptRole);
        download->setObjectName(u"download"_s);
        dialog->addButton(u"Skip This Version"_s, QMessageBox::DestructiveRole)
            ->setObjectName(u"skip"_s);
        QPushButton *later = dialog->addButton(u"Remind Me Later"_s, QMessageBox::RejectRole);
        later->setObjectName(u"later"_s);
        dialog->setDefaultButton(download);
        dialog->setEscapeButton(later);
        break;
    }
    }
    m_dialog = dialog;
    QObject::connect(dialog, &QDialog::finished, dialog, [this, dialog, chosen] {
        if (m_dialog == dialog)
            m_dialog = nullptr;
        dialog->deleteLater();
        const QAbstractButton *clicked = dialog->clickedButton();
        const QString name = clicked ? clicked->objectName() : QString();
        chosen(name == u"download"_s ? UpdateChoice::download
                : name == u"skip"_s  ? UpdateChoice::skip
                                     : UpdateChoice::dismissed);
    });
    dialog->show();
    AppActivation::activate(dialog);
}

void UpdateDialogs::raise()
{
    if (m_dialog)
        AppActivation::activate(m_dialog);
}

} // namespace Ferrowick
