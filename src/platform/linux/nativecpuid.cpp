#include "platform/linux/nativeplatform.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

namespace platform::native {

// CPUID needs no rights; the affinity of the calling thread decides which
// processor answers.
CpuidRegisters NativePlatform::cpuid(std::uint32_t leaf, std::uint32_t subleaf) {
    CpuidRegisters r;
#if defined(__x86_64__) || defined(__i386__)
    __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
#else
    (void)leaf;
    (void)subleaf;
#endif
    return r;
}

std::uint64_t NativePlatform::timeStampCounter() {
#if defined(__x86_64__) || defined(__i386__)
    return __rdtsc();
#else
    return 0;
#endif
}

}  // namespace platform::native
