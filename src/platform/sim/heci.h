#pragma once
// The management-engine interface of the simulated machine: a HECI device in
// the device lists with a Quiet System Technology firmware client behind it.
// The firmware keeps its monitors and fan controllers as data; values come
// from constants or from the thermal model, and controllers that take a duty
// drive their thermal fan.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/heci.h"
#include "platform/platform.h"

namespace platform::sim {

class Machine;

namespace heci {
// {6B5205B9-8185-4519-B889-D98724B58607}, the firmware's QST client.
inline constexpr Guid QstClientGuid{0xB9, 0x05, 0x52, 0x6B, 0x85, 0x81, 0x19, 0x45,
                                    0xB8, 0x89, 0xD9, 0x87, 0x24, 0xB5, 0x86, 0x07};
}  // namespace heci

// One temperature, fan or voltage monitor of the firmware.
struct QstMonitor {
    std::uint8_t enabled = 1;
    std::uint8_t usage = 0;
    std::uint8_t relative = 0;  // temperatures only
    std::vector<std::int32_t> thresholds;  // in wire units; missing ones read 0
    std::function<std::int32_t()> value = [] { return 0; };  // in wire units
    std::uint8_t status = 0;  // the record's status byte in the readings reply
};

struct QstController {
    std::uint8_t enabled = 1;
    std::uint8_t usage = 0;
    std::uint16_t duty = 0;  // hundredths of a percent
    std::uint8_t flags = 0x01;  // bit 0 EN, bits 2:1 ST, bit 3 SW, ...
    std::string thermalFan;  // a fan of the thermal model that follows the duty
};

// A fault on the requests of one command (or of every command).
struct QstFault {
    enum class Kind : std::uint8_t { WrongLength, Status, NoReply, TransportError, ShortSend };
    Kind kind = Kind::NoReply;
    int command = -1;  // -1: every command
    int times = -1;    // -1: always
    int value = 0;     // WrongLength: bytes added (negative cuts); Status: the status byte
};

struct HeciConfig {
    bool present = true;
    std::string path = "\\\\?\\pci#ven_8086&dev_2e24#heci#{e2d1ff34-3458-49a9-88da-8e6915ce9be5}";
    // Further interfaces listed before the working one, whose details do not read.
    int unreadableInterfaces = 0;
    std::uint32_t openError = 0;  // non-zero: opening fails with this code
    int notReadyOpens = 0;        // the first N opens fail (firmware still starting)
    std::vector<std::uint8_t> version{6, 0, 0, 0x10, 0x05};  // its size is what the device answers
    std::uint32_t connectAnswerSize = 5;
    std::uint32_t maxMessageLength = 512;
    bool controlHangs = false;  // control requests never finish by themselves

    bool qst = true;  // the firmware has the QST client
    int generation = 2;
    std::uint32_t configStatus = 0;
    std::uint32_t byte13Field = 0;  // 2.x only
    std::uint32_t tempResponse = 0;
    std::map<int, QstMonitor> temps, fans, volts;  // by monitor index
    std::map<int, QstController> controllers;
    std::vector<QstFault> faults;
};

class SimHeci {
public:
    SimHeci(Machine& machine, HeciConfig config) : machine_(machine), config_(std::move(config)) {}
    HeciConfig& config() { return config_; }
    // Every request written, as its bytes.
    const std::vector<std::vector<std::uint8_t>>& requests() const { return requests_; }
    void clearRequests() { requests_.clear(); }
    int opens() const { return opens_; }

    // 0 when the device opens, else the system's error code.
    std::uint32_t open();

    // Device side (used by the open device).
    bool control(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output,
                 std::uint32_t& returned, std::uint32_t& error);
    Device::Transfer write(std::span<const std::uint8_t> data, std::uint32_t timeoutMs, std::vector<std::uint8_t>& pending);
    Device::Transfer read(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs, std::vector<std::uint8_t>& pending);

private:
    std::optional<QstFault> takeFault(int command);
    std::optional<std::vector<std::uint8_t>> answer(std::span<const std::uint8_t> request);
    std::vector<std::uint8_t> configuration() const;
    void setDuty(QstController& controller, std::uint16_t duty, bool software);

    Machine& machine_;
    HeciConfig config_;
    std::vector<std::vector<std::uint8_t>> requests_;
    int opens_ = 0;
};

// Puts a HECI device on the machine (device lists and device path) and answers
// the model, which lives as long as the machine can open it.
std::shared_ptr<SimHeci> installHeci(Machine& machine, HeciConfig config);

}  // namespace platform::sim
