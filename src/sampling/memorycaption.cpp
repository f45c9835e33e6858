#include "memorycaption.h"

#include "platform/toolkit/numberformat.h"

namespace plenwick {

using namespace Qt::StringLiterals;

QString memoryCaption(ByteCount bytes, const QLocale &locale)
{
    return formatGroupedFiveDigits(static_cast<double>(bytes), locale) + u" bytes   ("_s +
           formatThreeDigits(static_cast<double>(bytes) / 1048576.0) + u" Mb)"_s;
}

} // namespace plenwick
