#pragma once
// How a PCI function that the program unhides is reached on Linux, where
// sysfs lists only the functions the kernel found at boot:
//  - with the right to write /sys/bus/pci/rescan, the kernel looks again and
//    every sysfs view forgets the functions it found missing;
//  - else, with a port route (iopl or /dev/port), a function sysfs does not
//    list is reached by configuration mechanism 1 on the ports;
//  - with neither, nothing reaches it, and the unhide write is not worth making.

#include <functional>
#include <memory>
#include <string>

#include "platform/linux/nativeroots.h"
#include "platform/linux/sysfspci.h"
#include "platform/pcireveal.h"

namespace platform::native {

// Writes "1" to the rescan file; 0, or the errno of the refusal.
int writePciRescan(const std::string& path);

class NativePciReveal : public PciReveal {
public:
    NativePciReveal(NativeRoots roots, std::function<int()> requestPortRights,
                    std::function<int(const std::string&)> rescan, std::shared_ptr<PciSightings> sightings)
        : roots_(std::move(roots)),
          requestPortRights_(std::move(requestPortRights)),
          rescan_(std::move(rescan)),
          sightings_(std::move(sightings)) {}

    bool canReveal(std::string& why) override;
    std::optional<std::string> reveal() override;

private:
    enum class Route : std::uint8_t { None, Rescan, Ports };
    Route choose(std::string& why) const;
    std::string rescanPath() const { return roots_.sys + "/bus/pci/rescan"; }

    NativeRoots roots_;
    std::function<int()> requestPortRights_;
    std::function<int(const std::string&)> rescan_;
    std::shared_ptr<PciSightings> sightings_;
};

}  // namespace platform::native
