#pragma once
// The port ranges kernel drivers hold, as /proc/ioports lists them:
//   0290-029f : pnp 00:07          (a firmware reservation: nobody's)
//     0295-0296 : nct6775          (a driver's region)
//   f040-f05f : 0000:00:1f.4       (a PCI window no driver asked for)
//     f040-f05f : i801_smbus
// Bus windows ("PCI Bus ..."), firmware reservations ("pnp ...", "reserved")
// and PCI windows named by their address are places, not drivers. Without
// root every range reads 0000-0000; such lines say nothing and are skipped.

#include <string_view>
#include <vector>

#include "platform/kernelclaims.h"

namespace platform::native {

std::vector<PortClaim> parseIoPorts(std::string_view text);

}  // namespace platform::native
