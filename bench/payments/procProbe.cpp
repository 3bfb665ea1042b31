#include "procProbe.h"

#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

long StatusField(pid_t pid, const std::string& name) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(name + ":"))
            return std::stol(line.substr(name.size() + 1));
    }
    return -1;
}

} // namespace

procProbe::cpuTime procProbe::CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    const std::string stat{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // The command name may hold blanks and parentheses: fields count from
    // after its last ')'. utime and stime are fields 14 and 15.
    const std::size_t end = stat.rfind(')');
    if (end == std::string::npos)
        return {};
    std::istringstream fields(stat.substr(end + 2));
    std::string skip;
    for (int field = 3; field < 14; ++field)
        fields >> skip;
    unsigned long long utime = 0, stime = 0;
    if (!(fields >> utime >> stime))
        return {};
    const auto ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    return {static_cast<double>(utime) / ticks, static_cast<double>(stime) / ticks};
}

long procProbe::ResidentKib(pid_t pid) {
    return StatusField(pid, "VmRSS");
}

long procProbe::Threads(pid_t pid) {
    return StatusField(pid, "Threads");
}
