#include "firmware/uguru3.h"

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvdriver.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

constexpr int PollsBeforeSleep = 250;
constexpr std::uint8_t CmdSync = 0x20;
constexpr std::uint8_t CmdRead = 0x1A;

void Sleep1ms() { platform::current().clock().sleepMs(1); }

// Traces `picture` with the status byte when a wait ran out; true when it did.
bool Failed(int wait, const char* picture) {
    if (wait < 0) return false;
    WriteDebugLog(Format(picture, {wait}));
    return true;
}

// Writes `value` to `port` and waits while busy; traces `picture` on a time-out.
bool WriteAndWait(std::uint16_t port, std::uint8_t value, const char* picture) {
    WriteUGuruPort(port, value);
    return !Failed(WaitWhileBusy(), picture);
}

}  // namespace

std::uint8_t ReadUGuruPort(std::uint16_t port) { return IOPort ? IOPort->ReadPortByte(port) : 0xFF; }

void WriteUGuruPort(std::uint16_t port, std::uint8_t value) {
    if (IOPort) IOPort->WritePortByte(port, value);
}

int PollUGuruStatus(std::uint8_t wanted, bool wantClear, const char* lastAttempt) {
    const auto done = [&](std::uint8_t status) { return ((status & wanted) == 0) == wantClear; };
    std::uint8_t status = 0;
    for (int i = 0; i < PollsBeforeSleep; ++i) {
        status = ReadUGuruPort(UGuruStatusPort);
        if (done(status)) return -1;
    }
    if (lastAttempt) WriteDebugLog(lastAttempt);
    Sleep1ms();
    status = ReadUGuruPort(UGuruStatusPort);
    return done(status) ? -1 : status;
}

int WaitWhileBusy() {
    const int status = PollUGuruStatus(UGuruBusyBit, true, "WaitWhileBusy --> last attempt...");
    if (status >= 0) WriteDebugLog(Format("WaitWhileBusy --> timeout expired ($%.2x)", {status}));
    return status;
}

int WaitForReadReady() {
    const int status = PollUGuruStatus(UGuruReadyBit, false);
    if (status >= 0) WriteDebugLog(Format("WaitForReadReady --> timeout expired ($%.2x)", {status}));
    return status;
}

bool UGuruSync() {
    if (Failed(WaitWhileBusy(), "UGuruSync --> timeout in first busy wait ($%.2x)")) return false;
    if (!WriteAndWait(UGuruStatusPort, CmdSync, "UGuruSync --> timeout after $20 ($%.2x)")) return false;
    if (!WriteAndWait(UGuruDataPort, 0x10, "UGuruSync --> timeout after $10 ($%.2x)")) return false;
    if (!WriteAndWait(UGuruDataPort, 0x00, "UGuruSync --> timeout after $00 ($%.2x)")) return false;
    if (Failed(WaitForReadReady(), "UGuruSync --> timeout waiting for read ($%.2x)")) return false;
    std::uint8_t answer = 0;
    for (int i = 0; i < UGuruSyncDataReads; ++i) {
        if (i > 0) Sleep1ms();
        answer = ReadUGuruPort(UGuruDataPort);
        if (answer == UGuruSyncAnswer) return true;
    }
    WriteDebugLog(Format("UGuruSync --> timeout expired ($%.2x)", {answer}));
    return false;
}

int UGuruRead(std::uint8_t bank, std::uint8_t offset, std::uint8_t count, TMyByteArray& data) {
    data.clear();
    if (!UGuruSync()) {
        WriteDebugLog("UGuruRead --> error in initial sync");
        return 0;
    }
    if (!WriteAndWait(UGuruStatusPort, CmdRead, "UGuruRead --> timeout after $1A ($%.2x)") ||
        !WriteAndWait(UGuruDataPort, bank, "UGuruRead --> timeout after BANK ($%.2x)") ||
        !WriteAndWait(UGuruDataPort, offset, "UGuruRead --> timeout after OFFSET ($%.2x)") ||
        !WriteAndWait(UGuruDataPort, count, "UGuruRead --> timeout after COUNT ($%.2x)"))
        return 0;
    while (data.size() < count) {
        const int status = WaitForReadReady();
        if (status >= 0) {
            WriteDebugLog(Format("UGuruRead --> timeout reading byte %d ($%.2x)", {static_cast<int>(data.size() + 1), status}));
            break;
        }
        data.push_back(ReadUGuruPort(UGuruDataPort));
    }
    return static_cast<int>(data.size());
}
