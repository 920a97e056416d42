// Board files are written by hand: any text must load or be refused with a
// BoardError, never crash or throw anything else.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/sim/boardreader.h"
#include "platform/sim/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::sim::Machine machine;
    try {
        machine.loadFromJson(std::string(reinterpret_cast<const char*>(data), size), "fuzz.json");
    } catch (const platform::sim::BoardError&) {
    }
    return 0;
}
