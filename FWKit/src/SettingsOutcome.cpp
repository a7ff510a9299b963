#include <FWKit/SettingsOutcome.h>

namespace FWKit {

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

} // namespace FWKit
