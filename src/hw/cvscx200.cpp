#include "hw/cvscx200.h"

#include "hw/cvlinkio.h"
#include "platform/platform.h"

namespace {

// ACBST
constexpr std::uint8_t MASTER = 0x02;
constexpr std::uint8_t NEGACK = 0x10;
constexpr std::uint8_t BER = 0x20;
constexpr std::uint8_t Events = 0x70;  // NEGACK, BER, SDAST
// ACBCTL1
constexpr std::uint8_t START = 0x01;
constexpr std::uint8_t STOP = 0x02;
constexpr std::uint8_t ACK = 0x10;  // answer the next byte with a NACK

}  // namespace

TSCx200::TSCx200(std::uint32_t base)
    : SMBSDA(static_cast<std::uint16_t>(base)),
      ACBST(static_cast<std::uint16_t>(base + 1)),
      ACBCST(static_cast<std::uint16_t>(base + 2)),
      ACBCTL1(static_cast<std::uint16_t>(base + 3)),
      ACBADDR(static_cast<std::uint16_t>(base + 4)),
      ACBCTL2(static_cast<std::uint16_t>(base + 5)),
      Base(base) {}

bool TSCx200::Transaction(int address, int protocol, bool read, std::uint8_t command, std::uint8_t data0,
                          std::uint8_t data1, const TSMBBlockData& block) {
    // A re-entry must not touch the running transaction's buffer.
    if (Busy) {
        Result = Failed;
        return false;
    }
    switch (protocol) {
        case SMBusProtocols::Quick:
            Buffer.clear();
            break;
        case SMBusProtocols::Byte:
            Buffer = {read ? std::uint8_t{0} : command};
            break;
        case SMBusProtocols::ByteData:
            Buffer = {data0};
            break;
        case SMBusProtocols::WordData:
            Buffer = {data0, data1};
            break;
        case SMBusProtocols::Block:
            Buffer = block;
            break;
        default:
            Result = Unsupported;
            return false;
    }
    Remaining = static_cast<std::uint8_t>(Buffer.size());
    Busy = true;
    AddressByte = static_cast<std::uint8_t>(address << 1 | (read ? 1 : 0));
    Command = command;
    Index = 0;
    Result = Failed;
    NeedsReset = false;

    SetBits(ACBCTL1, START);
    State = protocol <= SMBusProtocols::Byte ? QUICK : ADDRESS;
    while (State != IDLE) Poll();

    if (NeedsReset) {
        Reset();
        NeedsReset = false;
    }
    Busy = false;
    return Result == Success;
}

void TSCx200::Poll() {
    for (int polls = 0; polls < PollLimit; ++polls) {
        const std::uint8_t status = linkio::ReadPortByte(ACBST);
        linkio::WritePortByte(ACBST, 0);
        if (status & Events) {
            HandleStatus(status);
            return;
        }
    }
    State = IDLE;
    Result = TimedOut;
    NeedsReset = true;
}

void TSCx200::HandleStatus(std::uint8_t status) {
    if (status & NEGACK) {
        State = IDLE;
        Result = NoAcknowledge;
        SetBits(ACBCTL1, STOP);
        linkio::WritePortByte(ACBST, 0x18);
        linkio::WritePortByte(ACBST, 0x00);
    } else if ((status & BER) || !(status & MASTER)) {
        State = IDLE;
        Result = Failed;
        NeedsReset = true;
    } else {
        Step();
    }
}

void TSCx200::Step() {
    switch (State) {
        case IDLE:
            break;
        case ADDRESS:
            linkio::WritePortByte(SMBSDA, AddressByte & 0xFE);
            State = COMMAND;
            break;
        case COMMAND:
            linkio::WritePortByte(SMBSDA, Command);
            State = IsRead() ? REPEATSTART : WRITE;
            break;
        case REPEATSTART:
            SetBits(ACBCTL1, START);
            [[fallthrough]];
        case QUICK:
            if (IsRead()) AnswerWithNack();
            linkio::WritePortByte(SMBSDA, AddressByte);
            // A quick read has no data: it ends after the address phase.
            State = IsRead() && Remaining > 0 ? READ : WRITE;
            break;
        case READ:
            AnswerWithNack();
            if (Index >= Buffer.size()) Buffer.resize(Index + 1);
            Buffer[Index++] = linkio::ReadPortByte(SMBSDA);
            if (--Remaining == 0) Finish();
            break;
        case WRITE:
            if (Remaining == 0) {
                Finish();
                break;
            }
            linkio::WritePortByte(SMBSDA, Buffer[Index++]);
            --Remaining;
            break;
    }
}

void TSCx200::AnswerWithNack() {
    if (Remaining == 1)
        SetBits(ACBCTL1, ACK);
    else
        ClearBits(ACBCTL1, ACK);
}

void TSCx200::Finish() {
    Result = Success;
    State = IDLE;
    SetBits(ACBCTL1, STOP);
}

void TSCx200::Reset() {
    linkio::WritePortByte(ACBCTL2, 0x70);
    linkio::WritePortByte(ACBCTL1, 0);
    linkio::WritePortByte(ACBADDR, 0);
    SetBits(ACBCTL2, 0x01);
    ClearBits(ACBCTL1, 0xC0);
    SetBits(ACBCTL1, STOP);
    linkio::WritePortByte(ACBST, 0x38);
    SetBits(ACBCST, 0x02);
    platform::current().clock().sleepMs(1);
}

void TSCx200::SetBits(std::uint16_t port, std::uint8_t bits) {
    linkio::WritePortByte(port, static_cast<std::uint8_t>(linkio::ReadPortByte(port) | bits));
}

void TSCx200::ClearBits(std::uint16_t port, std::uint8_t bits) {
    linkio::WritePortByte(port, static_cast<std::uint8_t>(linkio::ReadPortByte(port) & ~bits));
}
