#include "platform/linux/nativeperfdata.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/perfdata.h"
#include "platform/platform.h"

namespace platform::native {
namespace {

// Wall time when first asked, moved on by the monotonic clock since: the
// block's time never steps back when the wall clock is set.
LocalTime steadyUtcNow() {
    using namespace std::chrono;
    static const auto wallAtStart = system_clock::now();
    static const auto steadyAtStart = steady_clock::now();
    return localTimeOf(time_point_cast<milliseconds>(wallAtStart + (steady_clock::now() - steadyAtStart)));
}

}  // namespace

std::optional<std::vector<std::uint8_t>> processorPerformanceBlock(const std::string& procRoot) {
    std::ifstream in(procRoot + "/stat");
    if (!in) return std::nullopt;
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (ticksPerSecond <= 0) return std::nullopt;
    std::vector<std::string> names;
    std::vector<std::uint64_t> idle;
    std::string line;
    while (std::getline(in, line)) {
        // "cpuN user nice system idle iowait ..."; the summary line "cpu " is not a processor.
        if (line.size() < 4 || line.compare(0, 3, "cpu") != 0 || line[3] == ' ') continue;
        std::istringstream fields(line);
        std::string label;
        std::uint64_t user = 0, nice = 0, system = 0, idleTicks = 0, iowait = 0;
        if (!(fields >> label >> user >> nice >> system >> idleTicks)) continue;
        fields >> iowait;  // absent on very old kernels
        names.push_back(label.substr(3));
        idle.push_back((idleTicks + iowait) * 10'000'000u / static_cast<std::uint64_t>(ticksPerSecond));
    }
    if (names.empty()) return std::nullopt;
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::uint64_t perfTime =
        static_cast<std::uint64_t>(now.tv_sec) * 10'000'000u + static_cast<std::uint64_t>(now.tv_nsec) / 100;
    return perfdata::build({perfdata::toSystemTime(steadyUtcNow()), perfTime, {perfdata::processorObject(names, idle)}});
}

}  // namespace platform::native
