#pragma once
// The driver device "\\.\caldavor" answered in the process itself. Each route
// opens on its own, so the device serves what the kernel allows and names
// what it refuses:
//  - ports: port instructions when iopl/ioperm are granted, else /dev/port
//    (a wider access is its bytes in order);
//  - PCI configuration: cycles on 0CF8h/0CFCh served from sysfs (sysfspci.h);
//    once the program unhid a function the kernel was not told of, a
//    function sysfs does not list is reached by the ports' cycles;
//  - physical memory: /dev/mem, or the firmware view (firmwareview.h) where
//    /dev/mem is refused or its legacy segment lacks an anchor; the view is
//    read only, so mapping needs /dev/mem;
//  - MSRs: /dev/cpu/N/msr of the caller's CPU.
// Port ranges that a kernel driver holds (/proc/ioports) are left alone:
// reads answer all ones, writes are dropped, and the holder is traced once
// per range. It opens when any route works, with one trace line per refused
// route giving the system's reason; routes() tells which capabilities are real.

#include <functional>
#include <memory>
#include <string>

#include "platform/driverctl.h"
#include "platform/linux/firmwareview.h"
#include "platform/linux/nativeroots.h"
#include "platform/linux/sysfspci.h"
#include "platform/platform.h"

namespace platform::native {

// Asks for the right to execute port instructions: 0, or the errno of the refusal.
int requestPortInstructions();

struct NativeDriverOptions {
    NativeRoots roots;
    std::function<int()> requestPortRights = requestPortInstructions;
    std::function<void(const std::string&)> trace;
    // The process's one view; without it, one is read from roots.sys.
    std::function<std::shared_ptr<const FirmwareView>()> firmwareView;
    // What the platform learnt of the PCI bus beyond sysfs; none: nothing.
    std::shared_ptr<const PciSightings> pciSightings;
};

// The version answered: map memory (1.003) and all below; which of those
// capabilities are there follows the routes. Below 1.006: Linux evaluates no
// ACPI methods for us.
inline constexpr drv::VersionAnswer NativeDriverVersion{1, 3};

// nullptr when no route opened.
std::unique_ptr<Device> openNativeDriver(const NativeDriverOptions& options);

}  // namespace platform::native
