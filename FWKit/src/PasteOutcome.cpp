#include <FWKit/PasteOutcome.h>

namespace FWKit {

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

} // namespace FWKit
