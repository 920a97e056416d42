#pragma once
// The driver device "\\.\caldavor" answered in the process itself: ports
// through the I/O privilege level, physical memory through /dev/mem, MSRs
// through /dev/cpu/N/msr. It opens only for a process with the right to raw
// I/O (root or CAP_SYS_RAWIO), and it reports a driver version that claims
// no more than it can serve.

#include <memory>

#include "platform/driverctl.h"
#include "platform/platform.h"

namespace platform::native {

// nullptr when the process may not execute port instructions.
std::unique_ptr<Device> openNativeDriver();

// The highest driver version whose capabilities are all served: map memory
// (1.003) needs both MSRs and memory, reading MSRs (1.002) needs MSRs.
drv::VersionAnswer nativeDriverVersion(bool msrsReadable, bool memoryReadable);

}  // namespace platform::native
