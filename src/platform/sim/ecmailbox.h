#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/sim/byteportdevice.h"
#include "platform/sim/registerfile.h"

namespace platform::sim {

// An embedded controller's mailbox at three ports: base + 0 reads FFh while
// the mailbox is free and takes a page number to claim it (FFh releases it),
// base + 1 selects a register, base + 2 reads and writes that register of the
// claimed page. Page n is bank n of the controller's RAM.
class ECMailbox : public BytePortDevice {
public:
    // The byte the claim port reads while another owner holds the mailbox.
    static constexpr std::uint8_t OtherOwner = 0x01;

    ECMailbox(std::shared_ptr<RegisterFile> ram, std::uint16_t base);
    static std::shared_ptr<ECMailbox> install(PortSpace& ports, std::shared_ptr<RegisterFile> ram, std::uint16_t base,
                                              const std::string& name);

    RegisterFile& ram() { return *ram_; }
    // Another owner holds the mailbox for the next `reads` reads of the claim
    // port, then lets go (a release written meanwhile frees it at once).
    void holdFor(int reads);
    // Another owner holds the mailbox and never lets go, releases included.
    void holdForever();
    bool isFree() const { return state_ == State::Free; }

protected:
    bool owns(std::uint16_t port) const override { return port - base_ < 3 && port >= base_; }
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;

private:
    enum class State { Free, Claimed, HeldByOther, Stuck };
    bool pageExists() const { return page_ < ram_->bankCount(); }

    std::shared_ptr<RegisterFile> ram_;
    std::uint16_t base_;
    State state_ = State::Free;
    int holdReads_ = 0;
    int page_ = 0;
    std::uint8_t register_ = 0;
};

}  // namespace platform::sim
