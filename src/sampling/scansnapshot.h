#pragma once

#include "platform/os/processsource.h"

#include <QString>
#include <vector>

namespace plenwick {

// One stretch of the memory chart's bar, in bytes from the bar's left end.
struct Slice {
    QString name;
    // The executable's directory with its trailing separator; empty for the slices that
    // stand for no process.
    QString directory;
    // The process the slice stands for; 0 for the operating system and available memory.
    ProcessId pid = 0;
    ByteCount start = 0;
    ByteCount size = 0;
    // The available-memory slice is drawn in grey at the bar's right end.
    bool availableMemory = false;
};

// One process row of the data window's table.
struct ProcessRow {
    ProcessId pid = 0;
    QString name;
    ByteCount size = 0;
    QString directory;
};

// What one process scan saw, for the chart and the table to show.
struct ScanSnapshot {
    ByteCount totalPhysical = 0;
    ByteCount availablePhysical = 0;
    // In the order they are drawn: the operating system (when the scan before had
    // processes), every process that differs from the one before it, and last the
    // available memory.
    std::vector<Slice> slices;
    // In the order the processes were listed; only complete ones get a row.
    std::vector<ProcessRow> rows;
    // The table needs at least this many rows (heading included) to hold the scan.
    int minimumGridRows = 0;
    // The process list could not be read: no process slices, no rows.
    bool enumerationFailed = false;
};

} // namespace plenwick
