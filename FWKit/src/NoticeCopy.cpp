#include <FWKit/NoticeCopy.h>

namespace FWKit::NoticeCopy {

QString formatted(const QString &format, const QString &argument)
{
    // QString::replace finds every placeholder in the format first, so text it inserts is never
    // searched again; QString::arg would read "%1" inside the argument.
    QString result = format;
    result.replace(QStringLiteral("%@"), argument);
    return result;
}

} // namespace FWKit::NoticeCopy
