#pragma once
// A configuration write that unhides a PCI function (a chipset's
// function-disable bit) is worth making only when the program can then reach
// the function. A bus answered by configuration cycles shows it at once; a
// system that lists its functions (natively sysfs, filled at boot) needs the
// kernel to look again, or the cycles to go to the ports themselves.

#include <optional>
#include <string>

namespace platform {

class PciReveal {
public:
    virtual ~PciReveal() = default;
    // Before an unhide write: whether a function it unhides can be reached;
    // when not, `why` says so.
    virtual bool canReveal(std::string& why) = 0;
    // After the write: makes the unhidden function reachable; the line that
    // names the route that served, or nothing when there is nothing to say.
    virtual std::optional<std::string> reveal() = 0;
};

}  // namespace platform
