#include "platform/sim/portspace.h"

#include <cstdio>
#include <stdexcept>

namespace platform::sim {

struct PortSpace::Claim {
    std::uint16_t first;
    std::uint16_t last;
    std::shared_ptr<PortDevice> device;
    std::string name;
    Fault fault;
    std::uint32_t garbageState;

    bool contains(std::uint16_t port) const { return port >= first && port <= last; }

    std::string describe() const {
        char text[32];
        std::snprintf(text, sizeof text, "0x%X-0x%X", first, last);
        return name.empty() ? text : std::string(text) + " (" + name + ")";
    }

    // Consumes one access from the fault budget; true when the access fails.
    bool failsNow() {
        if (fault.kind == Fault::Kind::FailAlways) return true;
        if (fault.kind != Fault::Kind::FailTimes || fault.times <= 0) return false;
        --fault.times;
        return true;
    }

    // xorshift32: cheap, deterministic and never stuck at zero.
    std::uint32_t nextGarbage() {
        garbageState ^= garbageState << 13;
        garbageState ^= garbageState >> 17;
        garbageState ^= garbageState << 5;
        return garbageState;
    }
};

std::uint32_t allOnes(int width) {
    switch (width) {
        case 1: return 0xFFu;
        case 2: return 0xFFFFu;
        case 4: return 0xFFFFFFFFu;
    }
    throw std::invalid_argument("port access width must be 1, 2 or 4, not " + std::to_string(width));
}

void Recorder::record(const PortAccess& access) {
    if (!enabled_) return;
    accesses_.push_back(access);
    locks_.note();
}

std::vector<PortAccess> Recorder::accessesTo(std::uint16_t first, std::uint16_t last) const {
    std::vector<PortAccess> found;
    for (const auto& a : accesses_) {
        if (a.port >= first && a.port <= last) found.push_back(a);
    }
    return found;
}

void Recorder::clear() {
    accesses_.clear();
    locks_.clear();
}

PortSpace::PortSpace() = default;
PortSpace::~PortSpace() = default;

void PortSpace::claim(std::uint16_t first, std::uint16_t last, std::shared_ptr<PortDevice> device, std::string name) {
    if (!device) throw std::invalid_argument("claim of ports without a device");
    auto claim = std::make_unique<Claim>(Claim{first, last, std::move(device), std::move(name), {}, 0x9E3779B9u ^ first});
    if (first > last) throw std::invalid_argument("empty port range " + claim->describe());
    for (const auto& other : claims_) {
        if (first <= other->last && other->first <= last)
            throw std::invalid_argument("ports " + claim->describe() + " overlap ports " + other->describe());
    }
    claims_.push_back(std::move(claim));
}

PortSpace::Claim* PortSpace::find(std::uint16_t port) const {
    for (const auto& claim : claims_) {
        if (claim->contains(port)) return claim.get();
    }
    return nullptr;
}

void PortSpace::release(const PortDevice& device) {
    std::erase_if(claims_, [&device](const auto& claim) { return claim->device.get() == &device; });
}

bool PortSpace::isClaimed(std::uint16_t port) const { return find(port) != nullptr; }

std::uint32_t PortSpace::read(std::uint16_t port, int width) {
    const std::uint32_t mask = allOnes(width);
    std::uint32_t value = mask;
    if (Claim* claim = find(port); claim && !claim->failsNow()) {
        switch (claim->fault.kind) {
            case Fault::Kind::AllOnes: break;
            case Fault::Kind::Garbage: value = claim->nextGarbage() & mask; break;
            default: value = claim->device->read(port, width) & mask;
        }
    }
    recorder_.record({port, width, value, false});
    return value;
}

void PortSpace::write(std::uint16_t port, int width, std::uint32_t value) {
    value &= allOnes(width);
    recorder_.record({port, width, value, true});
    if (Claim* claim = find(port); claim && !claim->failsNow()) claim->device->write(port, width, value);
}

void PortSpace::injectFault(std::uint16_t port, Fault fault) {
    Claim* claim = find(port);
    if (!claim) {
        char text[48];
        std::snprintf(text, sizeof text, "fault on unclaimed port 0x%X", port);
        throw std::invalid_argument(text);
    }
    claim->fault = fault;
}

}  // namespace platform::sim
