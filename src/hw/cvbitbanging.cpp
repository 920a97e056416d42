#include "hw/cvbitbanging.h"

#include <cmath>

#include "base/cvformat.h"
#include "hw/cvlinkio.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

constexpr double HalfBitMicroseconds = 10;
constexpr int HalfBitLoopRounds = 101;

std::uint8_t ReadAddress(int address) { return static_cast<std::uint8_t>(address << 1 | 1); }
std::uint8_t WriteAddress(int address) { return static_cast<std::uint8_t>(address << 1); }

}  // namespace

// ---- the master ----------------------------------------------------------------

TBitBanger::TBitBanger() : frequency_(platform::current().clock().performanceFrequency()) {}

void TBitBanger::HalfBitDelay() {
    if (frequency_ == 0) {
        volatile int rounds = 0;
        while (rounds < HalfBitLoopRounds) rounds = rounds + 1;
        return;
    }
    platform::Clock& clock = platform::current().clock();
    const std::uint64_t start = clock.performanceCount();
    const auto elapsedUs = [&] {
        return std::nearbyint(static_cast<double>(clock.performanceCount() - start) / static_cast<double>(frequency_) *
                              1e6);
    };
    while (elapsedUs() < HalfBitMicroseconds) {
    }
}

bool TBitBanger::Start() {
    SetSDA(true);
    if (!SetSCL(true)) return false;
    SetSDA(false);
    HalfBitDelay();
    SetSCL(false);
    HalfBitDelay();
    return true;
}

bool TBitBanger::Stop() {
    SetSDA(false);
    HalfBitDelay();
    const bool clockHigh = SetSCL(true);
    SetSDA(true);
    HalfBitDelay();
    return clockHigh;
}

bool TBitBanger::ReadAck() {
    SetSDA(true);
    HalfBitDelay();
    if (!SetSCL(true)) return false;
    const bool acknowledged = !GetSDA();
    SetSCL(false);
    HalfBitDelay();
    return acknowledged;
}

bool TBitBanger::WriteAck(bool ack) {
    SetSDA(!ack);
    HalfBitDelay();
    if (!SetSCL(true)) return false;
    SetSCL(false);
    HalfBitDelay();
    SetSDA(true);
    HalfBitDelay();
    return true;
}

bool TBitBanger::WriteByte(std::uint8_t value) {
    for (int bit = 7; bit >= 0; --bit) {
        SetSDA((value >> bit & 1) != 0);
        HalfBitDelay();
        if (!SetSCL(true)) return false;
        SetSCL(false);
        HalfBitDelay();
    }
    return ReadAck();
}

int TBitBanger::ReadByte(bool last) {
    SetSDA(true);
    HalfBitDelay();
    int value = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (!SetSCL(true)) return -1;
        value = value << 1 | (GetSDA() ? 1 : 0);
        SetSCL(false);
        HalfBitDelay();
    }
    if (!WriteAck(!last)) return -1;
    return value;
}

bool TBitBanger::ReadData(int address, int command, int count, TSMBBlockData& data) {
    // A failed transfer still ends with a stop, so the bus is left free.
    if (command >= 0) {
        if (!Start() || !WriteByte(WriteAddress(address)) || !WriteByte(static_cast<std::uint8_t>(command))) {
            Stop();
            return false;
        }
    }
    bool ok = Start() && WriteByte(ReadAddress(address));
    for (int i = 0; ok && i < count; ++i) {
        const int byte = ReadByte(i == count - 1);
        if (byte < 0) {
            ok = false;
            break;
        }
        if (data.size() <= static_cast<std::size_t>(i)) data.resize(i + 1);
        data[i] = static_cast<std::uint8_t>(byte);
    }
    const bool stopped = Stop();
    return ok && stopped;
}

bool TBitBanger::WriteData(int address, std::uint8_t command, const TSMBBlockData& data) {
    bool ok = Start() && WriteByte(WriteAddress(address)) && WriteByte(command);
    for (std::size_t i = 0; ok && i < data.size(); ++i) ok = WriteByte(data[i]);
    const bool stopped = Stop();
    return ok && stopped;
}

bool TBitBanger::ReadByteData(int address, std::uint8_t command, std::uint8_t& value) {
    TSMBBlockData data;
    if (!ReadData(address, command, 1, data)) return false;
    value = data[0];
    return true;
}

bool TBitBanger::ReadWordData(int address, std::uint8_t command, std::uint16_t& value) {
    TSMBBlockData data;
    if (!ReadData(address, command, 2, data)) return false;
    value = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
    return true;
}

bool TBitBanger::WriteByteData(int address, std::uint8_t command, std::uint8_t value) {
    return WriteData(address, command, {value});
}

bool TBitBanger::WriteQuick(int address) {
    const bool sent = Start() && WriteByte(WriteAddress(address));
    const bool stopped = Stop();
    const bool ok = sent && stopped;
    if (ok) platform::current().clock().sleepMs(1);
    return ok;
}

// ---- the card's lines ------------------------------------------------------------

namespace {

constexpr std::uint8_t SCLBit = 0x04;
constexpr std::uint8_t SDABit = 0x08;
constexpr std::uint8_t DriveEnable = 0x01;
constexpr std::uint8_t DriveSDAHigh = 0x10;
constexpr std::uint8_t DriveSCLHigh = 0x20;

constexpr int IndexReadBacks = 21;
constexpr int IndexRewriteAt = 5;
constexpr int DataReads = 6;
constexpr int IndexRewrites = 11;

}  // namespace

TNvidiaI2C::TNvidiaI2C(std::uint8_t statusIndex)
    : statusIndex_(statusIndex), controlIndex_(static_cast<std::uint8_t>(statusIndex + 1)) {
    Flags = 1;
}

std::uint8_t TNvidiaI2C::ReadReg(std::uint8_t index) {
    HalfBitDelay();
    linkio::WritePortByte(CrtcIndexPort, index);
    for (int mismatches = 0; linkio::ReadPortByte(CrtcIndexPort) != index;) {
        if (++mismatches == IndexReadBacks) {
            Log(Format("NVIDIAI2C error #1 in READREG[$%.2x]", {index}));
            return 0;
        }
        if (mismatches == IndexRewriteAt)
            linkio::WritePortByte(CrtcIndexPort, index);
        else
            HalfBitDelay();
    }
    // The data port settles: the first read equal to the one before is the value.
    std::uint8_t previous = linkio::ReadPortByte(CrtcDataPort);
    for (int read = 1; read < DataReads; ++read) {
        const std::uint8_t value = linkio::ReadPortByte(CrtcDataPort);
        if (value == previous) return value;
        previous = value;
    }
    linkio::ReadPortByte(CrtcDataPort);
    Log(Format("NVIDIAI2C error #2 in READREG[$%.2x]", {index}));
    return 0;
}

bool TNvidiaI2C::WriteReg(std::uint8_t index, std::uint8_t value) {
    linkio::WritePortByte(CrtcIndexPort, index);
    for (int rewrites = 0; linkio::ReadPortByte(CrtcIndexPort) != index; ++rewrites) {
        if (rewrites == IndexRewrites) {
            Log(Format("NVIDIAI2C error in WRITEREG[$%.2x,$%.2x]", {index, value}));
            return false;
        }
        linkio::WritePortByte(CrtcIndexPort, index);
        HalfBitDelay();
    }
    linkio::WritePortByte(CrtcDataPort, value);
    return true;
}

bool TNvidiaI2C::GetSCL() { return (ReadReg(statusIndex_) & SCLBit) != 0; }

bool TNvidiaI2C::GetSDA() { return (ReadReg(statusIndex_) & SDABit) != 0; }

bool TNvidiaI2C::SetSCL(bool high) {
    const std::uint8_t kept = ReadReg(controlIndex_) & 0xD0;
    WriteReg(controlIndex_, static_cast<std::uint8_t>(kept | DriveEnable | (high ? DriveSCLHigh : 0)));
    HalfBitDelay();
    if (!high) return true;
    // A slave may hold the clock low while it is busy.
    for (int polls = 0; polls < SCLTimeout; ++polls) {
        if (GetSCL()) return true;
    }
    LastError = SCLTimedOut;
    return false;
}

bool TNvidiaI2C::SetSDA(bool high) {
    const std::uint8_t kept = ReadReg(controlIndex_) & 0xE0;
    WriteReg(controlIndex_, static_cast<std::uint8_t>(kept | DriveEnable | (high ? DriveSDAHigh : 0)));
    return true;
}

void TNvidiaI2C::Unlock() {
    WriteReg(0x1F, 0x57);
    const std::uint8_t r49 = ReadReg(0x49);
    if ((r49 & 0x04) == 0) WriteReg(0x49, static_cast<std::uint8_t>(r49 | 0x04));
    WriteReg(controlIndex_, 0x31);
    WriteReg(0x11, static_cast<std::uint8_t>(ReadReg(0x11) & 0x7F));
}

void TNvidiaI2C::Release() { WriteReg(controlIndex_, 0x30); }

bool TNvidiaI2C::WriteQuickLocked(int address) {
    Unlock();
    const bool ok = WriteQuick(address);
    Release();
    return ok;
}

bool TNvidiaI2C::ExpectLine(bool sda, bool high, const char* wrong) {
    const bool ok = (sda ? GetSDA() : GetSCL()) == high;
    if (!ok) Log(wrong);
    return ok;
}

bool TNvidiaI2C::BusCheck() {
    Unlock();
    HalfBitDelay();
    bool ok = GetSCL() && GetSDA();
    if (!ok) Log(Format("I2C seems to be busy (I2C@$%.2x)", {statusIndex_}));
    if (ok) {
        SetSDA(false);
        HalfBitDelay();
        // Both lines are checked, so each stuck one is logged.
        const bool first = ExpectLine(true, false, "SDA is stuck high!");
        ok = ExpectLine(false, true, "SCL unexpected low while pulling SDA low") && first;
    }
    if (ok) {
        SetSDA(true);
        HalfBitDelay();
        const bool first = ExpectLine(true, true, "SDA is stuck low!");
        ok = ExpectLine(false, true, "SCL unexpected low while pulling SDA high") && first;
    }
    if (ok) {
        SetSCL(false);
        HalfBitDelay();
        const bool first = ExpectLine(false, false, "SCL is stuck high!");
        ok = ExpectLine(true, true, "SDA unexpected low while pulling SCL low") && first;
    }
    if (ok) {
        SetSCL(true);
        const bool first = ExpectLine(false, true, "SCL is stuck low!");
        ok = ExpectLine(true, true, "SDA unexpected low while pulling SCL high") && first;
    }
    if (!ok) {
        SetSCL(true);
        SetSDA(true);
    }
    Release();
    return ok;
}
