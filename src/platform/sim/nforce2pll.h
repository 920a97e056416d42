#pragma once
// The bus-clock PLL of an nForce2 host bridge: a PLL value (multiplier N in
// bits 15-8, divider M in bits 7-0 of register A4h) drives the front-side bus
// at 25 MHz x N / M while the enable byte A8h is 1; otherwise the bus runs at
// the boot setting. Configuration writes to the bridge are logged while
// recording is on.

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/sim/pcibus.h"

namespace platform::sim {

class NForce2HostBridge : public PciFunctionModel {
public:
    static constexpr unsigned PllRegister = 0xA4;
    static constexpr unsigned EnableRegister = 0xA8;

    struct Write {
        unsigned offset = 0;  // of the first byte written
        int width = 0;
        std::uint32_t value = 0;
        bool operator==(const Write&) const = default;
    };

    NForce2HostBridge(PciBus& bus, PciLocation at) : bus_(bus), at_(at) {}

    void setRecording(bool on) { recording_ = on; }
    const std::vector<Write>& writes() const { return writes_; }
    void clearWrites() { writes_.clear(); }
    // The bus clock in MHz while the PLL drives it; nullopt while the boot
    // setting does (or M is 0).
    std::optional<double> busClockMHz() const;

    void beforeRead(PciConfigSpace&, unsigned, int) override {}
    void afterWrite(PciConfigSpace& config, unsigned offset, int width) override;

private:
    PciBus& bus_;
    PciLocation at_;
    bool recording_ = false;
    std::vector<Write> writes_;
};

}  // namespace platform::sim
