#pragma once
// The simulated I/O-port space: devices claim port ranges; unclaimed ports
// read all ones and swallow writes. Every access is recorded in order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/sim/locklog.h"

namespace platform::sim {

// A device behind a range of ports. Width is 1, 2 or 4 bytes.
class PortDevice {
public:
    virtual ~PortDevice() = default;
    virtual std::uint32_t read(std::uint16_t port, int width) = 0;
    virtual void write(std::uint16_t port, int width, std::uint32_t value) = 0;
};

struct PortAccess {
    std::uint16_t port = 0;
    int width = 1;
    std::uint32_t value = 0;
    bool isWrite = false;
    bool operator==(const PortAccess&) const = default;
};

class Recorder {
public:
    void record(const PortAccess& access);
    const std::vector<PortAccess>& accesses() const { return accesses_; }
    // The locks held during access `index` (none without a probe).
    const std::vector<std::string>& locksHeld(std::size_t index) const { return locks_.at(index); }
    bool lockHeld(std::size_t index, const std::string& name) const { return locks_.held(index, name); }
    // The accesses to ports first..last, in order.
    std::vector<PortAccess> accessesTo(std::uint16_t first, std::uint16_t last) const;
    void clear();
    void setEnabled(bool enabled) { enabled_ = enabled; }
    void setLockProbe(LockProbe probe) { locks_.setProbe(std::move(probe)); }

private:
    bool enabled_ = true;
    std::vector<PortAccess> accesses_;
    LockLog locks_;
};

// What a faulty device does instead of answering. A failing access
// (FailAlways, or one of the first `times` under FailTimes) reads all ones and
// loses its write. AllOnes and Garbage spoil reads only: writes still arrive,
// as on a device whose output stage is broken. Garbage values follow a fixed
// pseudo-random sequence per device, so a test sees the same bytes each run.
struct Fault {
    enum class Kind { None, FailAlways, FailTimes, AllOnes, Garbage };
    Kind kind = Kind::None;
    int times = 0;  // for FailTimes: how many accesses fail before it answers
};

// All ones for an access of `width` bytes; throws std::invalid_argument for a
// width other than 1, 2 or 4.
std::uint32_t allOnes(int width);

// The device that claims an access's first port answers the whole access.
class PortSpace {
public:
    PortSpace();
    ~PortSpace();
    // Throws std::invalid_argument when the range is empty or overlaps a
    // claimed one (the message names both ranges).
    void claim(std::uint16_t first, std::uint16_t last, std::shared_ptr<PortDevice> device, std::string name = {});
    bool isClaimed(std::uint16_t port) const;
    // Gives up every range the device claimed (a window that moves or closes).
    void release(const PortDevice& device);
    // Widths other than 1, 2 or 4 throw std::invalid_argument.
    std::uint32_t read(std::uint16_t port, int width);
    void write(std::uint16_t port, int width, std::uint32_t value);

    // Faults apply to the device that claimed the port; Kind::None heals it.
    // Throws std::invalid_argument for an unclaimed port.
    void injectFault(std::uint16_t port, Fault fault);
    Recorder& recorder() { return recorder_; }

private:
    struct Claim;
    Claim* find(std::uint16_t port) const;
    std::vector<std::unique_ptr<Claim>> claims_;
    Recorder recorder_;
};

}  // namespace platform::sim
