#include <FWKit/ShrinkOutcome.h>

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

} // namespace FWKit
