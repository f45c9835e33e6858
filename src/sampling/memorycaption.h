#pragma once

#include "platform/os/processsource.h"

#include <QLocale>
#include <QString>

namespace plenwick {

// The data window's memory figure: "268,435,456 bytes   (256 Mb)": at least five
// digits grouped by the locale's separator, then the whole megabytes, at least three
// digits.
QString memoryCaption(ByteCount bytes, const QLocale &locale = QLocale());

} // namespace plenwick
