// Which host controller family serves a link: one row per host kind.

#include <map>

#include "hw/cvsmbushost.h"

std::unique_ptr<TSMBusHost> MakeSMBusHost(TLink& link) {
    static const std::map<std::uint8_t, TSMBusHostFactory> families = {
        {HostKinds::Intel, MakeIntelHost},
        {HostKinds::AtiIgp, MakeAtiIgpHost},
        {HostKinds::VIA, MakeVIAHost},
        {HostKinds::Uli, MakeUliHost},
        {HostKinds::AMD, MakeAMDHost},
        {HostKinds::nVidia, MakeNVidiaHost},
        {HostKinds::nForce2, MakeNForce2Host},
        {HostKinds::Ali, MakeAliHost},
        {HostKinds::SiS5595, MakeSiS5595Host},
        {HostKinds::SiSx30, MakeSiSx30Host},
        {HostKinds::SiS968, MakeSiS968Host},
        {HostKinds::I2CNVidia, MakeI2CNVidiaHost},
        {HostKinds::GeodeCompanion, MakeGeodeHost},
        {HostKinds::IntelMCH, MakeIntelMCHHost},
    };
    const auto it = families.find(link.HostKind());
    return it == families.end() ? nullptr : it->second(link);
}
