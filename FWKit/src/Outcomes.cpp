#include <FWKit/Outcomes.h>

namespace FWKit {

QString NoticeCopy::formatted(const QString &format, const QString &argument)
{
    // replace() never searches the text it has inserted, so an argument holding "%@" stays as it
    // is.
    QString result = format;
    result.replace(QStringLiteral("%@"), argument);
    return result;
}

} // namespace FWKit
