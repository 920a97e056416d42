// Which host controller family serves a link: one row per host kind.

#include <map>

#include "hw/cvsmbushost.h"

std::unique_ptr<TSMBusHost> MakeSMBusHost(TLink& link) {
    static const std::map<std::uint8_t, TSMBusHostFactory> families = {
        {HostKinds::I2CNVidia, MakeI2CNVidiaHost},
        {HostKinds::GeodeCompanion, MakeGeodeHost},
        {HostKinds::IntelMCH, MakeIntelMCHHost},
    };
    const auto it = families.find(link.HostKind());
    return it == families.end() ? nullptr : it->second(link);
}
