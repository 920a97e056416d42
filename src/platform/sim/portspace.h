#pragma once
// The simulated I/O-port space: devices claim port ranges; unclaimed ports
// read all ones and swallow writes. Every access is recorded in order.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
    void clear() { accesses_.clear(); }
    void setEnabled(bool enabled) { enabled_ = enabled; }

private:
    bool enabled_ = true;
    std::vector<PortAccess> accesses_;
};

// What a faulty device does instead of answering.
struct Fault {
    enum class Kind { None, FailAlways, FailTimes, AllOnes, Garbage };
    Kind kind = Kind::None;
    int times = 0;  // for FailTimes: how many accesses fail before it answers
};

class PortSpace {
public:
    // Throws std::invalid_argument when the range overlaps a claimed one.
    void claim(std::uint16_t first, std::uint16_t last, std::shared_ptr<PortDevice> device, std::string name = {});
    std::uint32_t read(std::uint16_t port, int width);
    void write(std::uint16_t port, int width, std::uint32_t value);

    // Faults apply to the device that claimed the port.
    void injectFault(std::uint16_t port, Fault fault);
    Recorder& recorder() { return recorder_; }

private:
    struct Claim;
    Claim* find(std::uint16_t port);
    std::vector<std::shared_ptr<Claim>> claims_;
    Recorder recorder_;
};

}  // namespace platform::sim
