#pragma once

#include "platform/os/processsource.h"

#include <QString>

namespace plenwick {

// What one process scan hands to the next step, and what is left between scans.
// Every value is 0 or the empty text at program start.
struct ScanState {
    // Written by every memory tick.
    ByteCount totalPhysical = 0;
    ByteCount availablePhysical = 0;
    // Start offset of the next slice; 0 at the start of a scan.
    ByteCount plotPosition = 0;
    // Size of the slice being handled.
    ByteCount processSize = 0;
    // Directory of the current process's executable, with its trailing separator.
    QString workDirectory;
    // Display name of the slice being handled.
    QString processName;
    QString previousProcessName;
    ByteCount previousProcessSize = 0;
    // Sum of the process slices of the last scan, kept from one scan to the next.
    ByteCount processTotal = 0;
};

} // namespace plenwick
