// A processor or hypervisor may answer anything: any CPUID and MSR answers
// must be collected and decoded without a crash, a hang or an out-of-range
// lookup.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "cpu/noscpuidmsr.h"
#include "support/testmachine.h"

namespace {

constexpr std::uint32_t Leaves[] = {0,          1,          2,          4,          6,          0xB,
                                    0x80000000, 0x80000001, 0x80000002, 0x80000003, 0x80000004, 0x80000005,
                                    0x80000006, 0x80000007, 0x80000008};
constexpr std::uint32_t Msrs[] = {0x17,  0x2A,  0x2C,       0xCD,       0xCE,       0x194,      0x198,      0x199,
                                  0x19A, 0x19D, 0x1A0,      0x1A2,      0x1AD,      0x1153,     0xC0010015, 0xC0010042,
                                  0xC0010071, 0x4C000014, 0x4C000015};

std::uint32_t word(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace

// Input: one byte for the processor count, then 19-byte records: processor,
// selector (a leaf, or with bit 7 an MSR), subleaf, and four registers.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    testsupport::TestMachine test;
    auto& cpus = test.machine().cpus();
    cpus.setCount(1 + data[0] % 4);
    for (std::size_t at = 1; at + 19 <= size; at += 19) {
        const std::uint8_t* r = data + at;
        auto& cpu = cpus.cpu(r[0] % cpus.count());
        const std::uint8_t selector = r[1];
        if (selector & 0x80) {
            cpu.msrs[Msrs[selector % std::size(Msrs)]] = word(r + 3) | std::uint64_t{word(r + 7)} << 32;
        } else {
            const std::uint32_t leaf = Leaves[selector % std::size(Leaves)];
            cpu.cpuid[{leaf, r[2] % 80u}].push_back({word(r + 3), word(r + 7), word(r + 11), word(r + 15)});
        }
    }
    ResetCpuidMsrData();
    SetMsrReader([&cpus](std::uint32_t index) {
        const auto value = cpus.readMsr(index);
        return value ? *value : MsrUnread;
    });
    TCpuDataRef result;
    TCpuidDataRef leaves;
    const TPciConfigReader pci = [](std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t reg) {
        return reg == 0 ? 0x11031022u : 0xFFFFFFFFu;
    };
    GetCpuidMsrData(result, &leaves, pci);
    ResetCpuidMsrData();
    return 0;
}
