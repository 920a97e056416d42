#pragma once
// An SMBus segment answered at the protocol level: a host that takes whole
// requests (address, protocol, direction, command, data, block) and the slave
// devices behind it, each a register file. It stands for whatever host
// controller a test does not care about; host families with real register
// sets sit in front of the same slaves.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/locklog.h"
#include "platform/sim/registerfile.h"

namespace platform::sim {

enum class SMBusProtocol : std::uint8_t { Quick = 0, Byte = 1, ByteData = 2, WordData = 3, Block = 4 };

struct SMBusRequest {
    std::uint8_t address = 0;  // 7-bit
    SMBusProtocol protocol = SMBusProtocol::Quick;
    bool read = false;
    std::uint8_t command = 0;
    std::uint8_t data0 = 0;  // first byte on the bus
    std::uint8_t data1 = 0;  // second byte on the bus
    std::vector<std::uint8_t> block;
};

// What a slave does wrong, for its next `times` transactions (-1: always).
struct SMBusFault {
    enum class Kind { None, Nack, Collision, Timeout, AllOnes };
    Kind kind = Kind::None;
    int times = -1;
};

// A slave: byte data at its registers, word data as a word register or two
// byte registers in bus order (command, command + 1), a receive byte at the
// last command, a block of its own. A register that fails its read, or a
// protocol outside the slave's mask, is not acknowledged. The register file
// may be shared with the same chip's other adaptors (an ISA twin).
class SMBusSlave {
public:
    explicit SMBusSlave(std::shared_ptr<RegisterFile> registers = std::make_shared<RegisterFile>());
    RegisterFile& registers() { return *registers_; }
    void setBlock(std::vector<std::uint8_t> block) { block_ = std::move(block); }
    const std::vector<std::uint8_t>& block() const { return block_; }
    // The block as a clock generator's register block: a block write stores
    // its bytes from 0 on and keeps the rest; with a count byte, a block read
    // answers as many bytes as that byte holds (all while the block is too
    // short to hold it).
    void setRegisterBlock(std::optional<std::uint8_t> countByte) {
        registerBlock_ = true;
        countByte_ = countByte;
    }
    // What a block read answers, and what a block write leaves.
    std::vector<std::uint8_t> blockRead() const;
    void blockWrite(const std::vector<std::uint8_t>& data);
    // `only`: the fault hits transactions of that protocol alone.
    void setFault(SMBusFault fault, std::optional<SMBusProtocol> only = std::nullopt) {
        fault_ = fault;
        faultProtocol_ = only;
    }
    // Bit n set: protocol n (SMBusProtocol) is answered. All by default.
    void setProtocolMask(std::uint8_t mask) { protocolMask_ = mask; }
    bool answers(SMBusProtocol protocol) const { return (protocolMask_ >> static_cast<int>(protocol)) & 1; }
    // The fault that hits the transaction now starting (and uses one up). On
    // the wires the protocol is not known yet: only faults of every protocol hit.
    SMBusFault::Kind takeFault(std::optional<SMBusProtocol> protocol = std::nullopt);
    // A byte write to this register moves the slave to the 7-bit address written.
    void setAddressRegister(std::uint8_t reg) { addressRegister_ = reg; }
    std::optional<std::uint8_t> addressRegister() const { return addressRegister_; }

    std::uint8_t pointer = 0;  // the register a send byte selected

private:
    std::shared_ptr<RegisterFile> registers_;
    std::vector<std::uint8_t> block_;
    bool registerBlock_ = false;
    std::optional<std::uint8_t> countByte_;
    SMBusFault fault_;
    std::optional<SMBusProtocol> faultProtocol_;
    std::uint8_t protocolMask_ = 0x1F;
    std::optional<std::uint8_t> addressRegister_;
};

class SMBusSegment {
public:
    enum class Status { Idle, Done, NoAck, Collision, Timeout };

    void attach(std::uint8_t address, std::shared_ptr<SMBusSlave> slave);
    // The slave vanishes from the bus.
    void detach(std::uint8_t address) { slaves_.erase(address); }
    std::shared_ptr<SMBusSlave> slave(std::uint8_t address) const;
    // The slave answers at `to` from now on, unless another slave is there.
    void moveSlave(const SMBusSlave& slave, std::uint8_t to);
    // A segment without pull-ups: nobody at an address still completes, and
    // reads answer this byte. Nothing (the default): a NACK.
    void setFloating(std::optional<std::uint8_t> value) { floating_ = value; }

    // Status reads that still show the host busy after each start.
    void setBusyPolls(int polls) { busyPolls_ = polls; }
    // Runs one request; its result shows once the host is no longer busy.
    void start(const SMBusRequest& request);
    // One read of the host's busy state (a timed-out transfer stays busy).
    bool busy();
    Status status() const { return status_; }
    // Results of the last read: the data registers and the block.
    std::uint8_t data0() const { return data0_; }
    std::uint8_t data1() const { return data1_; }
    const std::vector<std::uint8_t>& block() const { return blockResult_; }

    // Every request started, in order.
    const std::vector<SMBusRequest>& requests() const { return requests_; }
    // The locks held when request `index` started.
    const LockLog& locks() const { return locks_; }
    void setLockProbe(LockProbe probe) { locks_.setProbe(std::move(probe)); }
    // A take or release of a named lock, placed among the requests: it came
    // after the first `requestsBefore` of them.
    struct LockEvent {
        std::size_t requestsBefore = 0;
        std::string name;
        bool taken = false;
    };
    void noteLock(const std::string& name, bool taken) {
        if (recording_) lockEvents_.push_back({requests_.size(), name, taken});
    }
    const std::vector<LockEvent>& lockEvents() const { return lockEvents_; }
    void clearRequests() {
        requests_.clear();
        locks_.clear();
        lockEvents_.clear();
    }
    void setRecording(bool on) { recording_ = on; }

private:
    Status run(const SMBusRequest& request);
    void move(std::uint8_t from, std::uint8_t to);

    std::map<std::uint8_t, std::shared_ptr<SMBusSlave>> slaves_;
    int busyPolls_ = 0;
    int busyLeft_ = 0;
    Status status_ = Status::Idle;
    std::uint8_t data0_ = 0;
    std::uint8_t data1_ = 0;
    std::vector<std::uint8_t> blockResult_;
    std::vector<SMBusRequest> requests_;
    std::vector<LockEvent> lockEvents_;
    bool recording_ = true;
    LockLog locks_;
    std::optional<std::uint8_t> floating_;
};

}  // namespace platform::sim
