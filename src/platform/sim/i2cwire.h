#pragma once
// I2C slaves reached below the SMBus protocol level: byte by byte (an
// ACCESS.bus controller's view) or bit by bit on two wires, where each line
// is the wired AND of the master and the slaves (a bit-banging master's view).
// Each slave is an SMBusSlave register file: the first byte written after
// the address is the register pointer, reads go on from the pointer.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/smbussegment.h"

namespace platform::sim {

class I2CSlaves {
public:
    void attach(std::uint8_t address, std::shared_ptr<SMBusSlave> slave);
    std::shared_ptr<SMBusSlave> slave(std::uint8_t address) const;

    // A start (or repeated start) with its address byte; true when a slave
    // acknowledges it.
    bool address(std::uint8_t addressByte);
    // A byte from the master; true when acknowledged.
    bool write(std::uint8_t byte);
    // The next byte of the addressed slave.
    std::uint8_t read();
    void stop();
    // Fault: the addressed slave answers every data byte written with a NACK.
    void setNackWrites(bool nack) { nackWrites_ = nack; }

private:
    std::map<std::uint8_t, std::shared_ptr<SMBusSlave>> slaves_;
    SMBusSlave* selected_ = nullptr;
    bool pointerNext_ = false;
    bool nackWrites_ = false;
};

// Two wires with bit-level slaves. Events on the bus are kept as short texts
// for tests: "S" start, "P" stop, and each byte in hex with "+" for an ACK or
// "-" for a NACK ("98+").
class I2CWire {
public:
    explicit I2CWire(std::shared_ptr<I2CSlaves> slaves = std::make_shared<I2CSlaves>());

    I2CSlaves& slaves() { return *slaves_; }
    // The master's outputs; true lets the line go high.
    void drive(bool scl, bool sda);
    // One read of the lines by the master (a stretching slave counts these).
    void poll();
    bool scl() const { return scl_; }
    bool sda() const { return sda_; }

    // Faults: a line held at a level whatever anyone drives (nullopt heals),
    // and a slave that holds SCL low for `polls` reads after the master's
    // next release of it.
    void setStuckScl(std::optional<bool> level);
    void setStuckSda(std::optional<bool> level);
    void stretchNextRelease(int polls) { stretchPolls_ = polls; }

    const std::vector<std::string>& events() const { return events_; }
    void clearEvents() { events_.clear(); }

private:
    enum class Phase { Idle, Address, AddressAck, Receive, ReceiveAck, Transmit, TransmitAck };

    void settle();
    void onRise();
    void onFall();
    void onStart();
    void onStop();
    void byteEvent(std::uint8_t byte, bool ack);
    void loadTransmit();

    std::shared_ptr<I2CSlaves> slaves_;
    bool masterScl_ = true, masterSda_ = true;
    bool slaveSda_ = true;
    bool scl_ = true, sda_ = true;
    std::optional<bool> stuckScl_, stuckSda_;
    int stretchPolls_ = 0;
    int stretchLeft_ = 0;

    Phase phase_ = Phase::Idle;
    std::uint8_t shift_ = 0;
    int bits_ = 0;
    bool reading_ = false;
    bool masterAcked_ = false;
    std::uint8_t current_ = 0;
    std::vector<std::string> events_;
};

}  // namespace platform::sim
