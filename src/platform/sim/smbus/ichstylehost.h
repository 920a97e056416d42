#pragma once
// The Intel-style SMBus hosts (Intel PIIX4/ICH, AtiIgp, VIA, ULi): STS at
// B+0 (busy, interrupt, errors, the in-use semaphore, byte done; written 1
// to clear), CNT at B+2 (kill, last byte, start, the protocol field; a read
// resets the block buffer's index), CMD, ADDR, D0, D1, BLK and AUX (E32B).
// An ICH with E32B clear moves blocks byte by byte; the PIIX4 class has no
// semaphore, no byte-done bit and always its 32-byte buffer.

#include <vector>

#include "platform/sim/smbus/hostmodel.h"

namespace platform::sim {

struct IchStyleFamily {
    std::uint8_t protocolMask;           // the CNT field
    std::uint8_t protocolBits[5];        // CNT bits of protocols 0-4
    std::uint8_t killBit;                // in CNT; 0: a status write-back of bit 0 kills (VIA)
    bool semaphore;                      // the in-use bit 6
    bool byteByByte;                     // blocks go byte by byte while AUX bit 1 is clear
    std::uint8_t receiveSlaveReset;      // B+9 at reset
};

extern const IchStyleFamily IntelFamily;
extern const IchStyleFamily Piix4Family;
extern const IchStyleFamily AtiIgpFamily;
extern const IchStyleFamily VIAFamily;
extern const IchStyleFamily UliFamily;

class IchStyleHost : public SMBusHostModel {
public:
    IchStyleHost(const IchStyleFamily& family, std::uint16_t base, std::shared_ptr<SMBusSegment> segment,
                 SMBusHostTiming timing = {});

    void setAux(std::uint8_t value) { aux_ = value; }
    // The host's own address as a slave (B+9, 7 bits).
    void setReceiveSlave(std::uint8_t value) { receiveSlave_ = value & 0x7F; }
    // Another agent holds the in-use semaphore for ever.
    void setSemaphoreHeld(bool held) { heldElsewhere_ = held; }
    bool semaphoreTaken() const { return inUse_; }

protected:
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;
    void finished(SMBusSegment::Status outcome) override;
    void aborted() override;

private:
    bool buffered() const;
    std::uint8_t readStatus();
    void writeStatus(std::uint8_t value);
    void writeControl(std::uint8_t value);
    void start();
    void acknowledgeByte();

    const IchStyleFamily& family_;
    std::uint8_t sts_ = 0, cnt_ = 0, cmd_ = 0, addr_ = 0, d0_ = 0, d1_ = 0, blk_ = 0, aux_ = 0;
    std::uint8_t receiveSlave_;
    bool inUse_ = false;
    bool heldElsewhere_ = false;
    std::vector<std::uint8_t> buffer_;  // the 32-byte block buffer
    std::size_t index_ = 0;
    // A byte-by-byte block in progress.
    bool byteMode_ = false;
    bool lastByteSeen_ = false;
    std::vector<std::uint8_t> bytes_;
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    SMBusRequest pending_;
};

}  // namespace platform::sim
