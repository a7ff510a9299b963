#include <FWKit/ShrinkOutcome.h>

namespace FWKit {

QString ShrinkOutcome::debugDescription() const
{
    switch (m_kind) {
    case Kind::Copied:
        return QStringLiteral("copied(url: ") + m_text + u')';
    case Kind::Failed:
        return QStringLiteral("failed(message: ") + m_text + u')';
    case Kind::InvalidClipboard:
        return QStringLiteral("invalidClipboard");
    }
    Q_UNREACHABLE();
}

bool operator==(const ShrinkOutcome &a, const ShrinkOutcome &b)
{
    return a.m_kind == b.m_kind &&
        (a.m_text == b.m_text ||
            a.m_text.normalized(QString::NormalizationForm_C) ==
                b.m_text.normalized(QString::NormalizationForm_C));
}

} // namespace FWKit
