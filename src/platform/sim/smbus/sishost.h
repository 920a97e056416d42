#pragma once
// The port-mapped SiS SMBus hosts. SiS630 class at B+80h: STS (device
// error 1, collision 2, window done 4; written 1 to clear), CNT (bit 0
// busy), HCNT (protocol in bits 0-2, start bit 4, kill bit 5), ADDR, CMD,
// PCOUNT, COUNT, and eight bytes at B+88h that are D0, D1 and the block
// window. SiS96x at B+0 with D0/D1 at B+10h/B+11h and no block windows.

#include <array>
#include <vector>

#include "platform/sim/smbus/hostmodel.h"

namespace platform::sim {

struct SiSFamily {
    std::uint16_t offset;  // of STS above the base
    std::uint16_t data;    // of D0 above STS
    bool windows;          // blocks in eight-byte windows
};
extern const SiSFamily SiSx30Family;
extern const SiSFamily SiS968Family;

class SiSHost : public SMBusHostModel {
public:
    SiSHost(const SiSFamily& family, std::uint16_t base, std::shared_ptr<SMBusSegment> segment,
            SMBusHostTiming timing = {});

protected:
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;
    void finished(SMBusSegment::Status outcome) override;
    void aborted() override;

private:
    static constexpr std::size_t Window = 8;
    void start();
    void acknowledgeWindow();
    void showWindow();

    const SiSFamily& family_;
    std::uint8_t sts_ = 0, hcnt_ = 0, addr_ = 0, cmd_ = 0, count_ = 0;
    std::array<std::uint8_t, 8> data_{};
    bool windowed_ = false;  // a block moving through the windows
    std::vector<std::uint8_t> block_;
    std::size_t position_ = 0;
    std::size_t length_ = 0;
    SMBusRequest pending_;
};

}  // namespace platform::sim
