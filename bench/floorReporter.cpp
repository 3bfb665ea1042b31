#include "floorReporter.h"

#include <unistd.h>

floorReporter::floorReporter()
    : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

void floorReporter::ReportRuns(const std::vector<Run>& reports) {
    for (const Run& run : reports) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred)
            continue;
        cpuMicroseconds[run.run_name.function_name] =
            run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e6;
    }
    ConsoleReporter::ReportRuns(reports);
}

double floorReporter::CpuMicroseconds(const std::string& name) const {
    const auto found = cpuMicroseconds.find(name);
    return found == cpuMicroseconds.end() ? -1.0 : found->second;
}
