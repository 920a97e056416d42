#pragma once
// The SPD path of an Intel memory controller: a command dword and a status
// word in the configuration space of its PCI function. Writing the command
// dword with bit 0 clear starts a byte read of register bits 16-23 at the
// address in bits 24-27 (address bits 0-3) and 29-31 (bits 4-6); the status
// word shows busy (bit 12) for some reads, then data ready (bit 15) with the
// byte in bits 0-7.

#include <cstdint>
#include <memory>

#include "platform/sim/pcibus.h"
#include "platform/sim/smbussegment.h"

namespace platform::sim {

class MchSpd : public PciFunctionModel {
public:
    MchSpd(std::uint8_t commandRegister, std::uint8_t statusRegister, std::shared_ptr<SMBusSegment> segment);

    SMBusSegment& segment() { return *segment_; }
    // Status reads that show busy after each start (-1: busy for good).
    void setBusyReads(int reads) { busyReads_ = reads; }
    // Busy now, before any start (-1: for good).
    void holdBusy(int reads) { busyLeft_ = reads; }
    // The data never comes.
    void setNeverReady(bool never) { neverReady_ = never; }
    int starts() const { return starts_; }

    void beforeRead(PciConfigSpace& config, unsigned offset, int width) override;
    void afterWrite(PciConfigSpace& config, unsigned offset, int width) override;

private:
    std::uint8_t command_;
    std::uint8_t status_;
    std::shared_ptr<SMBusSegment> segment_;
    int busyReads_ = 0;
    int busyLeft_ = 0;
    bool neverReady_ = false;
    bool ready_ = false;
    std::uint8_t data_ = 0;
    int starts_ = 0;
};

}  // namespace platform::sim
