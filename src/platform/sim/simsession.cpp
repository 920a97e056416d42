#include "platform/sim/simsession.h"

#include <iterator>
#include <utility>

#include "platform/sim/simclock.h"

namespace platform::sim {
namespace {

class SimSharedMemory : public SharedMemory {
public:
    SimSharedMemory(std::shared_ptr<std::vector<std::uint8_t>> block, std::size_t size, bool existed)
        : block_(std::move(block)), size_(size), existed_(existed) {}
    std::span<std::uint8_t> bytes() override { return {block_->data(), size_}; }
    bool existed() const override { return existed_; }

private:
    std::shared_ptr<std::vector<std::uint8_t>> block_;
    std::size_t size_;
    bool existed_;
};

class SimCommandChannel : public CommandChannel {
public:
    explicit SimCommandChannel(std::shared_ptr<std::vector<WindowCommand>> queue) : queue_(std::move(queue)) {}
    std::vector<WindowCommand> takeCommands() override { return std::exchange(*queue_, {}); }

private:
    std::shared_ptr<std::vector<WindowCommand>> queue_;
};

}  // namespace

SharedMemoryOpenResult SimSession::openSharedMemory(const std::string& name, std::size_t size) {
    using Failure = SharedMemoryOpenResult::Failure;
    if (refuseSharedMemory) return {nullptr, Failure::Handle, "refused by the simulated system"};
    auto& block = blocks_[name];
    const bool existed = block != nullptr;
    if (!existed) block = std::make_shared<std::vector<std::uint8_t>>(size, 0);
    if (block->size() < size)
        return {nullptr, Failure::View, "the existing block holds " + std::to_string(block->size()) + " bytes"};
    return {std::make_unique<SimSharedMemory>(block, size, existed), Failure::None, {}};
}

std::vector<std::uint8_t>& SimSession::sharedBlock(const std::string& name) {
    auto& block = blocks_[name];
    if (!block) block = std::make_shared<std::vector<std::uint8_t>>();
    return *block;
}

void SimSession::setPowerStatus(std::uint64_t atMs, std::optional<PowerStatus> status) { power_[atMs] = status; }

std::optional<PowerStatus> SimSession::powerStatus() const {
    return std::prev(power_.upper_bound(clock_.monotonicMs()))->second;
}

std::vector<std::uint32_t> SimSession::takePowerEvents() { return std::exchange(powerEvents_, {}); }

void SimSession::postCommand(std::uint32_t owner, WindowCommand command) {
    if (const auto channel = channels_.find(owner); channel != channels_.end()) channel->second->push_back(command);
}

std::unique_ptr<CommandChannel> SimSession::openCommandChannel(std::uint32_t owner, std::string& /*reason*/) {
    auto queue = std::make_shared<std::vector<WindowCommand>>();
    channels_[owner] = queue;
    return std::make_unique<SimCommandChannel>(queue);
}

}  // namespace platform::sim
