#pragma once
// Decoding of the cache and topology leaves into a processor's record
// (noscpuidcaches.cpp); used by the collection only.

#include <cstdint>

#include "cpu/noscpuiddescriptors.h"
#include "cpu/noscpuidmsr.h"

// 0 (with the note on the processor) for 0, else the floor of log2.
std::uint32_t IntegerLog2(std::uint32_t Value, TNosCMCPUData& Cpu);

void DecodeIntelLeaf2(TNosCMCPUData& Cpu, const TCpuidResults& Results);
void DecodeIntelLeaf4(TNosCMCPUData& Cpu, const TCpuidResults& Results);
void DecodeIntelLeafB(TNosCMCPUData& Cpu, const TCpuidResults& Results);
// The thread and logical-processor counts of the leaf-0Bh levels.
void ApplyIntelLeafBCounts(TNosCMCPUData& Cpu, const TCpuidResults& Results);

void DecodeAmdLeaf80000005(TNosCMCPUData& Cpu, const TCpuidResult& Result);
void DecodeAmdLeaf80000006(TNosCMCPUData& Cpu, const TCpuidResult& Result);
// Per-package totals of the caches each core has, from AmdCores.
void ApplyAmdCoreCount(TNosCMCPUData& Cpu);
