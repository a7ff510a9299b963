#include <FWKit/FWError.h>

using namespace Qt::StringLiterals;

namespace FWKit {

QString FWError::errorDescription() const
{
    switch (m_kind) {
    case Kind::transport:
    case Kind::httpStatus:
    case Kind::decoding:
        return u"There was an issue contacting the API"_s;
    case Kind::validation:
        return m_text;
    case Kind::notAuthenticated:
        return u"Please set your login and password in Settings."_s;
    }
    Q_UNREACHABLE();
}

QString FWError::debugDescription() const
{
    switch (m_kind) {
    case Kind::transport:
        return u"transport(%1)"_s.arg(m_text);
    case Kind::httpStatus:
        return u"httpStatus(%1)"_s.arg(m_status);
    case Kind::decoding:
        return u"decoding(%1)"_s.arg(m_text);
    case Kind::validation:
        return u"validation(%1)"_s.arg(m_text);
    case Kind::notAuthenticated:
        return u"notAuthenticated"_s;
    }
    Q_UNREACHABLE();
}

} // namespace FWKit
