#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// A console reporter that also keeps the CPU time per iteration of every
// benchmark it reports, so that the caller can weigh them into one figure.
class floorReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal.
    floorReporter();

    void ReportRuns(const std::vector<Run>& reports) override;

    // CPU microseconds per iteration of the named benchmark, or a negative
    // value when it did not run.
    double CpuMicroseconds(const std::string& name) const;

private:
    std::map<std::string, double> cpuMicroseconds;
};
