// Video BIOS images as a card's ROM or a stale cache file may hold them: the
// parse of the PCI data structure, the BIT tokens and the thermal table never
// reads outside the 64 KB image, whatever its pointers say. The input patches
// a well-formed image (with BIT and a thermal table) so that the parse gets
// past its signatures: each patch is a 16-bit offset, a length byte and that
// many bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/cvtrace.h"
#include "cpu/cvgeforce.h"
#include "hw/cvdriver.h"
#include "platform/sim/machine.h"
#include "platform/sim/simgeforce.h"

namespace {

const TVideoBios& WellFormed() {
    static const TVideoBios image = [] {
        platform::sim::VideoBiosSpec spec;
        spec.deviceId = 0x0391;
        spec.version = {0x02, 0x41, 0x08, 0x05, 0x00};
        spec.strings = {"GeForce 7600 GT VGA BIOS", "Version 05.08.41.02"};
        spec.thermal = {{0x00, 0x0000}, {0x01, 0x0400}, {0x10, 0xFF6B}, {0x11, 0x0001}, {0x12, 0x0467}, {0x13, 0x2710}};
        return platform::sim::buildVideoBios(spec);
    }();
    return image;
}

// One card made on an empty simulated bus. The parse needs no hardware, and
// without a platform its trace lines are made but not time-stamped and
// written, which would cost more than the parse.
TGeForcePciCard& Card() {
    static std::unique_ptr<TGeForcePciCard> card = [] {
        platform::sim::Machine machine;
        const platform::ScopedPlatform scope{machine};
        IOPort = std::make_unique<TIOPort>();
        return std::make_unique<TGeForcePciCard>(0, 0, 0, nullptr);
    }();
    return *card;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ProgramDir = "/nonexistent/";  // no trace file grows while fuzzing
    TVideoBios image = WellFormed();
    for (std::size_t at = 0; at + 3 <= size;) {
        const std::size_t offset = data[at] | data[at + 1] << 8;
        const std::size_t length = std::min<std::size_t>(data[at + 2], size - at - 3);
        const std::size_t fits = std::min(length, image.size() - offset);
        std::copy_n(data + at + 3, fits, image.begin() + static_cast<std::ptrdiff_t>(offset));
        at += 3 + length;
    }
    Card().ParseVideoBios(image);
    return 0;
}
