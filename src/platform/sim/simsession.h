#pragma once
// What the simulated system offers the running program besides hardware:
// named shared blocks, the power status with changes scripted on virtual
// time, and the power broadcasts and window commands that tests inject.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::sim {

class SimClock;

class SimSession {
public:
    explicit SimSession(SimClock& clock) : clock_(clock) {}

    // ---- shared memory: blocks by name, kept while the machine lives ----
    SharedMemoryOpenResult openSharedMemory(const std::string& name, std::size_t size);
    // The bytes of a block, for tests to read or to plant a block; made empty on first use.
    std::vector<std::uint8_t>& sharedBlock(const std::string& name);
    bool hasSharedBlock(const std::string& name) const { return blocks_.count(name) != 0; }
    bool refuseSharedMemory = false;

    // ---- power status ----
    // From atMs of virtual time on, the status is `status`; nullopt makes the call fail.
    void setPowerStatus(std::uint64_t atMs, std::optional<PowerStatus> status);
    std::optional<PowerStatus> powerStatus() const;

    // ---- events and commands ----
    void injectPowerEvent(std::uint32_t wParam) { powerEvents_.push_back(wParam); }
    std::vector<std::uint32_t> takePowerEvents();
    // A command to the channel of `owner`; lost when no channel is open.
    void postCommand(std::uint32_t owner, WindowCommand command);
    std::unique_ptr<CommandChannel> openCommandChannel(std::uint32_t owner, std::string& reason);

private:
    SimClock& clock_;
    std::map<std::string, std::shared_ptr<std::vector<std::uint8_t>>> blocks_;
    // The status in force from each time on; a desktop on mains without a battery.
    std::map<std::uint64_t, std::optional<PowerStatus>> power_{{0, PowerStatus{1, 128, 255}}};
    std::vector<std::uint32_t> powerEvents_;
    std::map<std::uint32_t, std::shared_ptr<std::vector<WindowCommand>>> channels_;
};

}  // namespace platform::sim
