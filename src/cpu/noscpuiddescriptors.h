#pragma once
// Intel's CPUID leaf-2 cache descriptors, one table for every reader of
// leaf 2. Rows of one level keep their published order, which decides when a
// processor reports two descriptors of one level.

#include <cstdint>
#include <span>

enum class TCacheLevel : std::uint8_t { L1Instruction, L1Data, L2, L3, Trace };

struct TCacheDescriptor {
    std::uint8_t Code;
    TCacheLevel Level;
    std::uint32_t SizeKb;  // thousands of micro-operations for the trace cache; 0: no cache at this level
    std::uint32_t Ways;
    std::uint32_t LineSize;
};

std::span<const TCacheDescriptor> CacheDescriptors();
