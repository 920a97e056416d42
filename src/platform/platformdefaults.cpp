// What a machine without a facility answers.
#include "platform/platform.h"

#include <bit>

namespace platform {
namespace {


class EmptySystemRegistry : public SystemRegistry {
public:
    bool keyExists(const std::string&) override { return false; }
    std::optional<std::string> readString(const std::string&, const std::string&) override { return std::nullopt; }
    std::optional<std::vector<std::uint8_t>> readBinary(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::vector<std::string> subKeys(const std::string&) override { return {}; }
};

void putDword(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

void DeviceRecord::setString(std::uint32_t code, const std::string& text) {
    auto& bytes = properties[code];
    bytes.assign(text.begin(), text.end());
    bytes.push_back(0);
}

void DeviceRecord::setMultiString(std::uint32_t code, const std::vector<std::string>& texts) {
    auto& bytes = properties[code];
    bytes.clear();
    for (const auto& text : texts) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    }
    bytes.push_back(0);
}

void DeviceRecord::setDword(std::uint32_t code, std::uint32_t value) {
    auto& bytes = properties[code];
    bytes.clear();
    putDword(bytes, value);
}

void DeviceRecord::setGuid(std::uint32_t code, const std::array<std::uint8_t, 16>& guid) {
    properties[code].assign(guid.begin(), guid.end());
}

LocalTime localTimeOf(std::chrono::sys_time<std::chrono::milliseconds> time) {
    using namespace std::chrono;
    const auto days = floor<std::chrono::days>(time);
    const year_month_day ymd{days};
    const hh_mm_ss<milliseconds> hms{time - days};
    return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
            static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(hms.hours().count()),
            static_cast<int>(hms.minutes().count()), static_cast<int>(hms.seconds().count()),
            static_cast<int>(hms.subseconds().count())};
}

DeviceOpenResult Platform::openDevice(const std::string&) { return {nullptr, ErrorFileNotFound}; }
DirectAccess* Platform::directAccess() { return nullptr; }
unsigned Platform::processorCount() { return 1; }
std::uint64_t Platform::processAffinity() { return 1; }
std::uint32_t Platform::setProcessAffinity(std::uint64_t mask) { return mask == 1 ? 0 : ErrorInvalidParameter; }
CpuidRegisters Platform::cpuid(std::uint32_t, std::uint32_t) { return {}; }
std::vector<std::uint64_t> Platform::affinityWords() { return {processAffinity()}; }
std::uint32_t Platform::setAffinityWords(const std::vector<std::uint64_t>& words) {
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (words[i] != 0) return ErrorInvalidParameter;
    }
    return setProcessAffinity(words.empty() ? 0 : words.front());
}
std::optional<unsigned> Platform::currentProcessor() {
    const auto words = affinityWords();
    for (std::size_t w = 0; w < words.size(); ++w) {
        if (words[w] != 0) return static_cast<unsigned>(w * 64 + std::countr_zero(words[w]));
    }
    return std::nullopt;
}
std::unique_ptr<ServiceManager> Platform::openServiceManager() { return nullptr; }
std::optional<std::vector<DeviceRecord>> Platform::listDevices(const DeviceQuery&) { return std::nullopt; }
std::optional<std::vector<DeviceRecord>> Platform::listInterfaces(const Guid&) { return std::nullopt; }

SystemRegistry& Platform::systemRegistry() {
    static EmptySystemRegistry empty;
    return empty;
}

std::optional<std::string> Platform::environmentVariable(const std::string&) { return std::nullopt; }
std::string Platform::systemDir() const { return windowsDir() + "\\System32"; }
bool Platform::fileExists(const std::string&) { return false; }
bool Platform::copyFile(const std::string&, const std::string&) { return false; }
std::string Platform::computerName() { return {}; }
std::string Platform::ipv4Address() { return "127.0.0.1"; }
std::string Platform::userName() { return {}; }
std::uint8_t Platform::keyState(std::uint8_t) { return 0; }
std::uint64_t Platform::uptimeMs() { return clock().monotonicMs(); }
std::optional<JoystickPosition> Platform::joystickPosition(unsigned) { return std::nullopt; }

std::uint32_t Platform::queryPerformanceData(const std::string&, std::span<std::uint8_t>, std::uint32_t& size) {
    size = 0;
    return ErrorFileNotFound;
}

std::uint32_t Platform::processId() { return 1; }
SharedMemoryOpenResult Platform::openSharedMemory(const std::string&, std::size_t) {
    return {nullptr, SharedMemoryOpenResult::Failure::Handle, "no shared memory on this machine"};
}
std::optional<PowerStatus> Platform::powerStatus() { return std::nullopt; }
std::vector<std::uint32_t> Platform::takePowerEvents() {
    return powerSource_ ? powerSource_->takePowerEvents() : std::vector<std::uint32_t>{};
}
void Platform::powerEventHandled(std::uint32_t wParam) {
    if (powerSource_) powerSource_->powerEventHandled(wParam);
}
std::unique_ptr<CommandChannel> Platform::openCommandChannel(std::uint32_t, std::string& reason) {
    reason = "no command channel on this machine";
    return nullptr;
}

}  // namespace platform
