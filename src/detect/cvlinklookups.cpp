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

}  // namespace

int FindPCILink() { return FindLinkOfKind(LinkKinds::PCI); }

int FindOrAddACPILink() {
    if (const int index = FindLinkOfKind(LinkKinds::ACPI); index >= 0) return index;
    AddLink("ACPI", 1, LinkKinds::ACPI, 0, 0, 0, 0, 0, 0);
    return FindLinkOfKind(LinkKinds::ACPI);
}

int FindISALink(std::uint32_t base) {
    const auto& links = Links();
    for (std::size_t i = links.size(); i-- > 0;)
        if (links[i]->LinkKind() == LinkKinds::ISA && links[i]->BaseAddress() == base) return static_cast<int>(i);
    return -1;
}
