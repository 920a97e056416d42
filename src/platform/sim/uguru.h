#pragma once
// A uGuru microcontroller at ports E0h (data) and E4h (status). Status bit 0:
// a byte is ready on the data port; bit 1: busy, for a set number of status
// reads after each write.
//
// Older generations: 00h to the status port starts a synchronisation whose
// data reads end with ACh; then a command byte to the status port and its
// request bytes to the data port queue the reply:
//   21h i: bank 0 register i      22h i: bank 1 registers 3i..3i+2
//   26h i: bank 2 register i      27h i: bank 3 registers 2i..2i+1
//   65h:   bank 4 register 0      63h n: bank 5 registers 32n..32n+31
// uGuru3: 20h to the status port, 10h and 00h to the data port, then ACh
// on the data port; 1Ah with bank, offset and count answers that many bytes
// of the bank from the offset.

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "platform/sim/byteportdevice.h"
#include "platform/sim/registerfile.h"

namespace platform::sim {

struct UGuruBehaviour {
    int busyReads = 0;        // status reads that show busy after each write
    int ackOnRead = 1;        // the synchronisation's data read that answers ACh; 0: none does
    bool busyStuck = false;   // every status read shows busy
    bool neverReady = false;  // no status read shows a byte ready
    int replyLimit = -1;      // a reply stops after this many bytes; -1: never
};

class UGuruChip : public BytePortDevice {
public:
    static constexpr std::uint16_t DataPort = 0xE0;
    static constexpr std::uint16_t StatusPort = 0xE4;
    static constexpr int Banks = 16;

    explicit UGuruChip(std::shared_ptr<RegisterFile> banks);
    // Claims E0h and E4h.
    static std::shared_ptr<UGuruChip> install(PortSpace& ports, std::shared_ptr<RegisterFile> banks);

    RegisterFile& banks() { return *banks_; }
    UGuruBehaviour& behaviour() { return behaviour_; }

protected:
    bool owns(std::uint16_t port) const override { return port == DataPort || port == StatusPort; }
    std::uint8_t readByte(std::uint16_t port) override;
    void writeByte(std::uint16_t port, std::uint8_t value) override;

private:
    enum class State { Idle, Expect10, Expect00, Request };
    std::uint8_t status();
    std::uint8_t data();
    void startSync();
    void command(std::uint8_t value);
    void requestByte(std::uint8_t value);
    void answer();
    void queue(int bank, int first, int count);

    std::shared_ptr<RegisterFile> banks_;
    UGuruBehaviour behaviour_;
    State state_ = State::Idle;
    int busyLeft_ = 0;
    bool syncing_ = false;
    int syncReads_ = 0;
    std::uint8_t cmd_ = 0;
    std::vector<std::uint8_t> request_;
    std::deque<std::uint8_t> reply_;
};

}  // namespace platform::sim
