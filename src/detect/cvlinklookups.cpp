#include "detect/cvlinklookups.h"

#include <cstdint>

#include "hw/cvlink.h"

namespace {

int FindLinkOfKind(std::uint8_t kind) {
    const auto& links = Links();
    for (std::size_t i = 0; i < links.size(); ++i)
        if (links[i]->LinkKind() == kind) return static_cast<int>(i);
    return -1;
}

// The non-bus links: chipset code 1, no host, base 0, at PCI 0/0/0.
int FindOrAddLinkOfKind(const char* name, std::uint8_t kind, std::uint8_t flag) {
    if (const int index = FindLinkOfKind(kind); index >= 0) return index;
    AddLink(name, 1, kind, 0, 0, flag, 0, 0, 0);
    return static_cast<int>(Links().size() - 1);
}

}  // namespace

int FindPCILink() { return FindLinkOfKind(LinkKinds::PCI); }

int FindOrAddACPILink() { return FindOrAddLinkOfKind("ACPI", LinkKinds::ACPI, 0); }
int FindOrAddNVCPLLink() { return FindOrAddLinkOfKind("NVCPL", LinkKinds::NVCPL, 1); }
int FindOrAddHECILink() { return FindOrAddLinkOfKind("HECI", LinkKinds::HECI, 1); }

int FindISALink(std::uint32_t base) {
    const auto& links = Links();
    for (std::size_t i = links.size(); i-- > 0;)
        if (links[i]->LinkKind() == LinkKinds::ISA && links[i]->BaseAddress() == base) return static_cast<int>(i);
    return -1;
}
