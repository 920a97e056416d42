#pragma once
// One SMBus transaction on a Geode companion's ACCESS.bus controller: a small
// state machine driven by polling the controller's status register.

#include <cstdint>

#include "hw/cvlink.h"

class TSCx200 {
public:
    enum TState : std::uint8_t { IDLE, ADDRESS, COMMAND, REPEATSTART, QUICK, READ, WRITE };
    // Result codes.
    static constexpr int Success = 0;
    static constexpr int Failed = -1;
    static constexpr int NoAcknowledge = -2;
    static constexpr int TimedOut = -3;
    static constexpr int Unsupported = -4;
    static constexpr int PollLimit = 10000;

    explicit TSCx200(std::uint32_t base);

    // Protocol 0 quick, 1 byte, 2 byte data, 3 word data (Data0 first on the
    // bus), 4 block. True when Result ends at 0; read bytes are in Buffer.
    bool Transaction(int address, int protocol, bool read, std::uint8_t command, std::uint8_t data0,
                     std::uint8_t data1, const TSMBBlockData& block);

    std::uint16_t SMBSDA, ACBST, ACBCST, ACBCTL1, ACBADDR, ACBCTL2;
    std::uint32_t Base;
    TState State = IDLE;
    bool NeedsReset = false;
    int Result = 0;
    std::uint8_t AddressByte = 0;
    std::uint8_t Command = 0;
    std::uint8_t Remaining = 0;
    std::uint32_t Index = 0;
    TSMBBlockData Buffer;
    bool Busy = false;

private:
    bool IsRead() const { return (AddressByte & 1) != 0; }
    void Poll();
    void HandleStatus(std::uint8_t status);
    void Step();
    void Finish();
    void Reset();
    // Read-modify-write of one bit of a control register.
    void SetBits(std::uint16_t port, std::uint8_t bits);
    void ClearBits(std::uint16_t port, std::uint8_t bits);
    void AnswerWithNack();
};
