#pragma once
// Intel's CPUID leaf-2 cache descriptors and AMD's associativity codes, one
// table each for every reader of the cache leaves. Descriptor rows of one
// level keep their published order, which decides when a processor reports
// two descriptors of one level.

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

// The level a descriptor fills on a processor: 49h is the third level of the
// Xeon MP of family 15, model 6, and the second everywhere else.
TCacheLevel LevelOn(const TCacheDescriptor& Descriptor, std::uint32_t Family, std::uint32_t Model);

// Ways of an AMD associativity code (bits 12-15 of 80000006h); 255 is fully
// associative.
std::uint32_t AmdAssociativity(std::uint32_t Code);
