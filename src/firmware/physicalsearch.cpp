#include "firmware/physicalsearch.h"

#include <cstring>
#include <vector>

#include "hw/cvdriver.h"

namespace {

constexpr std::uint32_t SearchStart = 0xE0000;
constexpr std::uint32_t SearchEnd = 0xFFFF0;
constexpr std::uint32_t RangeLast = 0xFFFFF;

}  // namespace

bool ReadPhysicalWhole(TIOPort& port, std::uint32_t address, void* buffer, std::uint32_t count) {
    std::memset(buffer, 0, count);
    return port.ReadPhysicalMemory(address, buffer, count) == count;
}

void SearchLegacySegment(TIOPort& port, std::uint32_t chunkSize, std::string_view anchor,
                         const std::function<bool(std::uint32_t address)>& process) {
    std::vector<char> chunk(chunkSize);
    for (std::uint32_t address = SearchStart; address < SearchEnd;) {
        std::uint32_t size = address + chunkSize > RangeLast ? RangeLast - address + 1 : chunkSize;
        size -= size % 16;
        if (ReadPhysicalWhole(port, address, chunk.data(), size)) {
            for (std::uint32_t offset = 0; offset + 9 < size; offset += 16) {
                if (std::string_view(chunk.data() + offset, anchor.size()) == anchor && process(address + offset))
                    return;
            }
        }
        address += size;
    }
}
