#include "platform/SystemPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace Ferrowick {

std::optional<QString> SystemPasteboard::string() const
{
    // On X11 this asks the selection's owner: a stalled owner blocks here for up to ~15 s.
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (data == nullptr || !data->hasText())
        return std::nullopt;
    return data->text();
}

void SystemPasteboard::setString(const QString &text)
{
    // A fresh QMimeData, so nothing of the previous owner's formats is offered any more.
    auto *data = new QMimeData;
    data->setText(text);
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard); // takes ownership
}

} // namespace Ferrowick
