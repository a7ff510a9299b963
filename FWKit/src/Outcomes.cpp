#include <FWKit/Outcomes.h>

using namespace Qt::StringLiterals;

namespace FWKit {

QString NoticeCopy::formatted(const QString &format, const QString &argument)
{
    // replace() never searches the text it has inserted, so an argument holding "%@" stays as it
    // is.
    QString result = format;
    result.replace(u"%@"_s, argument);
    return result;
}

} // namespace FWKit
