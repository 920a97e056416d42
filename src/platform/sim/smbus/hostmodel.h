#pragma once
// What every simulated SMBus host controller shares: its port window, the
// segment of slaves behind it, and the timing of a transfer as its status
// reads see it (reads until the start shows, reads until it is done, a host
// stuck busy while idle). Each family's registers and status bits are its
// own class in this folder.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <vector>
#include <memory>
#include <string>

#include "platform/sim/byteportdevice.h"
#include "platform/sim/smbussegment.h"

namespace platform::sim {

// The longest block an SMBus block transfer carries.
inline constexpr std::size_t SMBusBlockSize = 32;

struct SMBusHostTiming {
    static constexpr int Never = -1;
    int startReads = 0;  // status reads after a start that still show the host idle (Never: it never starts)
    int busyReads = 1;   // status reads then showing it busy (Never: it never finishes)
    // A host that shows busy while idle, until the family's kill or first
    // reset, until its second reset (Ali), or for ever.
    enum class Stuck { No, UntilReset, UntilSecondReset, Forever };
    Stuck stuck = Stuck::No;
    int stuckAfter = 0;           // status reads before a stuck host starts showing busy
    bool staleStatus = false;     // error bits survive their write-back
    std::uint8_t statusCode = 0;  // nForce2: the code a finished transfer reports instead (0: its outcome)
};

class SMBusHostModel : public BytePortDevice {
public:
    SMBusHostModel(std::uint16_t base, std::uint16_t size, std::shared_ptr<SMBusSegment> segment,
                   SMBusHostTiming timing);

    std::uint16_t base() const { return base_; }
    std::uint16_t size() const { return size_; }
    SMBusSegment& segment() { return *segment_; }
    SMBusHostTiming& timing() { return timing_; }
    // What the data registers hold after a transfer nobody acknowledged.
    void setFloating(std::uint8_t value) { floating_ = value; }

protected:
    enum class Phase { Idle, Starting, Busy };

    bool owns(std::uint16_t port) const override { return port >= base_ && port - base_ < size_; }
    // The register offset of a port.
    std::uint16_t offset(std::uint16_t port) const { return static_cast<std::uint16_t>(port - base_); }

    // Runs a request on the segment; its outcome shows when the transfer ends.
    void begin(const SMBusRequest& request);
    // A transfer whose outcome is already known shows it with the same timing.
    void begin(SMBusSegment::Status outcome);
    // Starts a transfer that ends only through finish() (block windows, byte by byte).
    void hold();
    void finish(SMBusSegment::Status outcome);
    // One status read: whether the host shows busy now. Ends the transfer
    // when its reads are used up.
    bool pollBusy();
    bool running() const { return phase_ != Phase::Idle; }
    // The family's reset of the given rank (1: kill or first reset, 2: second).
    // Ends a running transfer as failed and may clear a stuck host.
    void reset(int rank);
    // Error bits that a write-1-to-clear write may clear.
    std::uint8_t clearable(std::uint8_t errorBits, std::uint8_t otherBits) const {
        return static_cast<std::uint8_t>((timing_.staleStatus ? 0 : errorBits) | otherBits);
    }
    std::uint8_t floating() const { return floating_; }
    // Copies the last read's block into the host's buffer, as much as fits;
    // answers the count.
    template <class Buffer>
    std::uint8_t takeBlock(Buffer& buffer) {
        const auto& block = segment_->block();
        const std::size_t count = std::min(block.size(), std::size(buffer));
        std::copy_n(block.begin(), count, std::begin(buffer));
        return static_cast<std::uint8_t>(count);
    }
    // The first `count` bytes of the host's buffer (a block to write), as much as it has.
    template <class Buffer>
    static std::vector<std::uint8_t> firstBytes(const Buffer& buffer, std::size_t count) {
        return {std::begin(buffer), std::begin(buffer) + std::min(count, std::size(buffer))};
    }

    // The transfer ended: the family shows its outcome in its registers.
    virtual void finished(SMBusSegment::Status outcome) = 0;
    // A reset ended a running transfer.
    virtual void aborted() = 0;

private:
    std::uint16_t base_;
    std::uint16_t size_;
    std::shared_ptr<SMBusSegment> segment_;
    SMBusHostTiming timing_;
    Phase phase_ = Phase::Idle;
    bool held_ = false;
    int left_ = 0;
    SMBusSegment::Status outcome_ = SMBusSegment::Status::Idle;
    std::uint8_t floating_ = 0xFF;
};

// Claims the host's ports. With `enabled`, the ports answer only while it
// holds (the chipset's enable bits): otherwise they read all ones and lose
// their writes, as when nothing decodes them.
void installSMBusHost(PortSpace& ports, std::shared_ptr<SMBusHostModel> host, const std::string& name,
                      std::function<bool()> enabled = {});

// The SMBus request of a protocol number (0-4) as hosts encode it.
inline SMBusProtocol protocolOf(int number) { return static_cast<SMBusProtocol>(number); }

}  // namespace platform::sim
