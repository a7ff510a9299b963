#include <FWKit/FWError.h>

namespace FWKit {

QString FWError::errorDescription() const
{
    switch (m_kind) {
    case Kind::Transport:
    case Kind::HttpStatus:
    case Kind::Decoding:
        return QStringLiteral("There was an issue contacting the API");
    case Kind::Validation:
        return m_text;
    case Kind::NotAuthenticated:
        return QStringLiteral("Please set your login and password in Settings.");
    }
    Q_UNREACHABLE();
}

QString FWError::debugDescription() const
{
    switch (m_kind) {
    case Kind::Transport:
        return QStringLiteral("transport(%1)").arg(m_text);
    case Kind::HttpStatus:
        return QStringLiteral("httpStatus(%1)").arg(m_status);
    case Kind::Decoding:
        return QStringLiteral("decoding(%1)").arg(m_text);
    case Kind::Validation:
        return QStringLiteral("validation(%1)").arg(m_text);
    case Kind::NotAuthenticated:
        return QStringLiteral("notAuthenticated");
    }
    Q_UNREACHABLE();
}

} // namespace FWKit
