#include <FWKit/NoticeCopy.h>

namespace FWKit::NoticeCopy {

QString formatted(const QString &format, const QString &argument)
{
    // replace() never searches the text it has inserted, so an argument holding "%@" stays as it
    // is.
    QString result = format;
    result.replace(QStringLiteral("%@"), argument);
    return result;
}

} // namespace FWKit::NoticeCopy
