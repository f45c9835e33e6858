#pragma once

#include "chart/chartplotter.h"
#include "chart/chartstate.h"
#include "platform/os/processsource.h"
#include "processgrid.h"
#include "scanstate.h"

#include <array>
#include <functional>

namespace plenwick {

// One process scan: a snapshot of the running processes turned into the chart's
// slices (through the plotting) and the rows of the process table.
class ProcessScan {
public:
    // The identifiers one scan can see.
    static constexpr std::size_t kPidListSize = 1024;

    struct Hooks {
        // The process table; referring to it may load the data window.
        std::function<ProcessGrid &()> grid;
        // Tells the user that the process list could not be read.
        std::function<void()> enumerationFailed;
    };

    ProcessScan(ScanState &scan, ChartState &chart, ProcessSource &source, ChartPlotter &plotter,
                Hooks hooks);

    // Runs one scan to its end.
    void cmdGet_Click();

    // The per-process step: names and size into the scan state, and a table row when
    // the result is complete.
    void GetProcessNameAndSize(ProcessId pid);

    // The size column's text: the size in kilobytes, shortest form, then "k".
    static QString sizeText(ByteCount bytes);

private:
    ScanState &m_scan;
    ChartState &m_chart;
    ProcessSource &m_source;
    ChartPlotter &m_plotter;
    Hooks m_hooks;
    std::array<ProcessId, kPidListSize> m_pidList{};
};

} // namespace plenwick
