// QST firmware replies come from the management engine: any bytes, of any
// length, in answer to any request must leave the access object's lists
// sound. The input: the generation (bit 0 of byte 0: 0 first, 1 second), the
// maximum message length the connect answers (bytes 1-2, little-endian),
// then each reply as a length byte and that many bytes. Once the input is
// spent the firmware answers nothing (a time-out).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "base/cvtrace.h"
#include "firmware/cvintelqst2.h"
#include "platform/sim/machine.h"

namespace {

constexpr const char* DevicePath = "\\\\?\\pci#heci";

class ReplyDevice : public platform::Device {
public:
    ReplyDevice(std::span<const std::uint8_t> replies, std::uint16_t maxMessageLength)
        : replies_(replies), maxMessageLength_(maxMessageLength) {}

    bool control(std::uint32_t code, std::span<const std::uint8_t>, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        std::uint8_t answer[5] = {6, 0, 0, 0, 0};  // the version, or the connect answer
        if (code == platform::heci::ConnectCode) {
            answer[0] = static_cast<std::uint8_t>(maxMessageLength_);
            answer[1] = static_cast<std::uint8_t>(maxMessageLength_ >> 8);
            answer[4] = 1;
        }
        returned = static_cast<std::uint32_t>(std::min<std::size_t>(sizeof answer, output.size()));
        std::copy_n(answer, returned, output.begin());
        return true;
    }
    Transfer write(std::span<const std::uint8_t> data, std::uint32_t) override {
        return {TransferStatus::Done, static_cast<std::uint32_t>(data.size()), 0};
    }
    Transfer read(std::span<std::uint8_t> buffer, std::uint32_t) override {
        if (replies_.empty()) return {TransferStatus::TimedOut, 0, 0};
        const std::size_t length = std::min<std::size_t>(replies_[0], replies_.size() - 1);
        const std::size_t count = std::min(length, buffer.size());
        std::copy_n(replies_.begin() + 1, count, buffer.begin());
        replies_ = replies_.subspan(1 + length);
        return {TransferStatus::Done, static_cast<std::uint32_t>(count), 0};
    }

private:
    std::span<const std::uint8_t> replies_;
    std::uint16_t maxMessageLength_;
};

// A machine whose one HECI interface answers from the input.
class ReplyMachine : public platform::sim::Machine {
public:
    ReplyMachine(std::span<const std::uint8_t> replies, std::uint16_t maxMessageLength)
        : replies_(replies), maxMessageLength_(maxMessageLength) {}

    std::optional<std::vector<platform::DeviceRecord>> listInterfaces(const platform::Guid&) override {
        platform::DeviceRecord record;
        record.interfaces.push_back({DevicePath, true});
        return std::vector<platform::DeviceRecord>{record};
    }
    platform::DeviceOpenResult openDevice(const std::string&) override {
        return {std::make_unique<ReplyDevice>(replies_, maxMessageLength_), 0};
    }

private:
    std::span<const std::uint8_t> replies_;
    std::uint16_t maxMessageLength_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    ProgramDir = "/nonexistent/";  // no trace file grows while fuzzing
    ReplyMachine machine({data + 3, size - 3}, static_cast<std::uint16_t>(data[1] | data[2] << 8));
    platform::ScopedPlatform scope(machine);
    const std::unique_ptr<TCVIntelQST> qst =
        data[0] & 1 ? std::make_unique<TCVIntelQST2>() : std::make_unique<TCVIntelQST>();
    for (int tick = 0; tick < 2; ++tick) {
        qst->UpdateTemps();
        qst->UpdateFans();
        qst->UpdateVolts();
        qst->UpdatePwms();
    }
    qst->SetDutyCycle(0, 5000);
    qst->SetControllerAuto(0);
    return 0;
}
