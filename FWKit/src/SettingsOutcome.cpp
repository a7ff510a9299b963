#include <FWKit/SettingsOutcome.h>

namespace FWKit {

QString SettingsOutcome::debugDescription() const
{
    switch (m_kind) {
    case Kind::Saved:
        return QStringLiteral("saved(login: ") + m_text + u')';
    case Kind::MissingFields:
        return QStringLiteral("missingFields");
    case Kind::SaveFailed:
        return QStringLiteral("saveFailed");
    }
    Q_UNREACHABLE();
}

bool operator==(const SettingsOutcome &a, const SettingsOutcome &b)
{
    return a.m_kind == b.m_kind &&
        (a.m_text == b.m_text ||
            a.m_text.normalized(QString::NormalizationForm_C) ==
                b.m_text.normalized(QString::NormalizationForm_C));
}

} // namespace FWKit
