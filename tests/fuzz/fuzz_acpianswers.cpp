// The ACPI driver's answers to EVAL and EVAL_EX: any output block, of any
// length, with any element count, types and lengths, decodes without reading
// outside the answer; a driver that keeps asking for more room ends in an
// error, never a loop. The input: a flag byte (bit 0: EVAL_EX, bit 1: the
// verbose trace, bits 2-3: how many first calls ask for more room), then the
// answer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/cvtrace.h"
#include "firmware/cvacpi.h"
#include "platform/acpictl.h"
#include "platform/platform.h"

namespace {

class AnswerDevice : public platform::Device {
public:
    AnswerDevice(std::span<const std::uint8_t> answer, int moreData) : answer_(answer), moreData_(moreData) {}

    bool control(std::uint32_t, std::span<const std::uint8_t>, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        const std::size_t count = std::min(answer_.size(), output.size());
        std::copy_n(answer_.begin(), count, output.begin());
        returned = static_cast<std::uint32_t>(answer_.size());  // a driver may claim more than it wrote
        return moreData_-- <= 0;
    }
    std::uint32_t lastError() const override { return platform::acpi::ErrorMoreData; }

private:
    std::span<const std::uint8_t> answer_;
    int moreData_;
};

// A claimed Length past the answer (and past the first buffer) grows the
// buffer by zeros that the answer never fills, up to a megabyte per input,
// and a verbose trace dumps them all: such a claim is held to that size. A
// claim past the largest buffer stays, as it must end in the error.
void HoldClaimedLength(std::vector<std::uint8_t>& answer) {
    constexpr std::size_t LengthAt = 4;
    if (answer.size() < LengthAt + 4) return;
    std::uint32_t claimed = 0;
    for (std::size_t i = 0; i < 4; ++i) claimed |= std::uint32_t(answer[LengthAt + i]) << (8 * i);
    const auto most = static_cast<std::uint32_t>(std::max<std::size_t>(answer.size(), AcpiInitialOutputSize));
    if (claimed <= most || claimed > AcpiMaxOutputSize) return;
    for (std::size_t i = 0; i < 4; ++i) answer[LengthAt + i] = static_cast<std::uint8_t>(most >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    ProgramDir = "/nonexistent/";  // no trace file grows while fuzzing
    const bool ex = data[0] & 1;
    const bool verbose = data[0] & 2;
    std::vector<std::uint8_t> answer(data + 1, data + size);
    HoldClaimedLength(answer);
    AnswerDevice device(answer, data[0] >> 2 & 3);
    TAcpiVariantArray results;
    const TAcpiLogMethod log = [](const std::string&) {};
    try {
        if (ex)
            EVAL_EX(&device, "\\_SB.PCI0.MTHD", {TAcpiVariant::OfInt(1)}, results, log, verbose);
        else
            EVAL(&device, "MTHD", {TAcpiVariant::OfInt(1)}, results, log, verbose);
    } catch (const EAcpiError&) {
        return 0;
    }
    for (const TAcpiVariant& v : results) (void)v.AsText();
    return 0;
}
