#include <FWKit/Outcomes.h>

namespace FWKit {

QString ShrinkOutcome::debugDescription() const
{
    switch (m_kind) {
    case Kind::Copied:
        return QStringLiteral("copied(url: ") + m_text.value + u')';
    case Kind::Failed:
        return QStringLiteral("failed(message: ") + m_text.value + u')';
    case Kind::InvalidClipboard:
        return QStringLiteral("invalidClipboard");
    }
    Q_UNREACHABLE();
}

QString PasteOutcome::debugDescription() const
{
    switch (m_kind) {
    case Kind::Copied:
        return QStringLiteral("copied(url: ") + m_text.value + u')';
    case Kind::Failed:
        return QStringLiteral("failed(message: ") + m_text.value + u')';
    case Kind::NeedsLogin:
        return QStringLiteral("needsLogin");
    }
    Q_UNREACHABLE();
}

QString SettingsOutcome::debugDescription() const
{
    switch (m_kind) {
    case Kind::Saved:
        return QStringLiteral("saved(login: ") + m_text.value + u')';
    case Kind::MissingFields:
        return QStringLiteral("missingFields");
    case Kind::SaveFailed:
        return QStringLiteral("saveFailed");
    }
    Q_UNREACHABLE();
}

QString NoticeCopy::formatted(const QString &format, const QString &argument)
{
    // replace() never searches the text it has inserted, so an argument holding "%@" stays as it
    // is.
    QString result = format;
    result.replace(QStringLiteral("%@"), argument);
    return result;
}

} // namespace FWKit
