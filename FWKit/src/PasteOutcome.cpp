#include <FWKit/PasteOutcome.h>

namespace FWKit {

QString PasteOutcome::debugDescription() const
{
    switch (m_kind) {
    case Kind::Copied:
        return QStringLiteral("copied(url: ") + m_text + u')';
    case Kind::Failed:
        return QStringLiteral("failed(message: ") + m_text + u')';
    case Kind::NeedsLogin:
        return QStringLiteral("needsLogin");
    }
    Q_UNREACHABLE();
}

bool operator==(const PasteOutcome &a, const PasteOutcome &b)
{
    return a.m_kind == b.m_kind &&
        (a.m_text == b.m_text ||
            a.m_text.normalized(QString::NormalizationForm_C) ==
                b.m_text.normalized(QString::NormalizationForm_C));
}

} // namespace FWKit
