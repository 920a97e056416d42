#pragma once
// Whether the machine's Intel processors have a digital thermal sensor the
// program can read, and their maximum junction temperature (Tjmax), from
// MSR EEh, a table of processor numbers and the temperature-target MSR.

#include <cstdint>
#include <string>
#include <vector>

#include "cpu/noscpuidmsr.h"

// Tests every logical processor under pinning. Lines for the user go into
// log when given. Tjmax is the value worked out for the last processor
// tested; it is left alone when no processor was tested.
bool ProbeIntelCoreSensor(std::string& cpuName, std::int32_t& tjmax, std::vector<std::string>* log);

// What the Tjmax rules look at: the first processor's record, and CPUID(1)
// EAX and MSR EEh of the processor under test.
struct TTjmaxFacts {
    const TNosCMCPUData& cpu;
    std::uint32_t cpuid1Eax;
    std::uint64_t msrEE;
};

// The rules in order, each later match overriding an earlier one; lines go
// into log when given.
std::int32_t WorkOutTjmax(const TTjmaxFacts& facts, std::vector<std::string>* log);

// The PCI reader the processor collection is given.
TPciConfigReader ChipPciReader();
