#pragma once
// What the port-mapped host families share: byte ports at fixed offsets from
// the link's base, read-modify-write of control registers, bounded waits
// that count their polls, and the logging helpers of their sequences.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/cvformat.h"
#include "hw/cvlinkio.h"
#include "hw/cvsmbushost.h"
#include "platform/platform.h"

class TPortSMBusHost : public TSMBusHost {
protected:
    using TSMBusHost::TSMBusHost;

    // The port at `offset` from the link's base; past FFFFh it reaches no port.
    std::uint32_t At(std::uint32_t offset) const { return Link().BaseAddress() + offset; }
    static std::uint8_t In(std::uint32_t port) { return linkio::ReadPortByte(port); }
    static void Out(std::uint32_t port, std::uint8_t value) { linkio::WritePortByte(port, value); }
    // port := (port and keep) or set.
    static void Update(std::uint32_t port, std::uint8_t keep, std::uint8_t set) {
        Out(port, static_cast<std::uint8_t>((In(port) & keep) | set));
    }

    // Reads at most PollLimit times until `done` holds; answers the reads left.
    template <class Done>
    int Wait(Done&& done) {
        return BoundedWait(Link(), PollLimit, std::forward<Done>(done));
    }

    bool Fail(std::uint8_t code) {
        Link().SetLastError(code);
        return false;
    }
    bool Fail(std::uint8_t code, std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
        Link().SetErrorAndLog(code, cvformat::Format(picture, args));
        return false;
    }
    void Log(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
        Link().Log(cvformat::Format(picture, args));
    }
    void DebugLog(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
        if (Link().DebugMode()) Log(picture, args);
    }

    // A status bit that fails the transaction: the outcome code it sets
    // (0: none) and the line it logs (nullptr: none) with the address.
    struct TStatusRule {
        std::uint8_t bit;
        std::uint8_t code;
        const char* line;
    };
    // From success: a wait that ran out fails with 4 and its line; then
    // each rule whose bit is set fails, a later code overriding an earlier.
    bool DecodeByRules(const TSMBusRequest& request, int endLeft, std::uint8_t status,
                       std::initializer_list<TStatusRule> rules) {
        bool result = true;
        if (endLeft == 0) result = Fail(SMBusErrors::TimeoutEnd, "SMBUS Timeout! $%.2x", {request.Address});
        for (const TStatusRule& rule : rules) {
            if ((status & rule.bit) == 0) continue;
            result = false;
            if (rule.code) Link().SetLastError(rule.code);
            if (rule.line) Log(rule.line, {request.Address});
        }
        return result;
    }

    // A block transfer of the family's own, after its registers are loaded:
    // start, the family's byte loop, then the end of the common sequence.
    template <class MoveBytes>
    bool RunOwnBlock(const TSMBusRequest& request, MoveBytes&& moveBytes) {
        StartTransaction(request);
        WaitForStart();
        if (!moveBytes()) return false;
        platform::current().clock().sleepMs(1);
        WaitForEnd();
        return FinalReset(request, DecodeError(request));
    }
    // The engine's closing rule, for transfers that bypass its steps.
    bool Closed(bool result) {
        if (!result && Link().LastError() == SMBusErrors::NoError) Link().SetLastError(SMBusErrors::Unknown);
        return result;
    }

    // A block whose count sits in one port and whose bytes come from another
    // (or from successive ports when `successive`).
    static TSMBBlockData ReadCountedBlock(std::uint32_t countPort, std::uint32_t dataPort, bool successive) {
        TSMBBlockData block(ClampBlockCount(In(countPort)));
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = In(successive ? static_cast<std::uint32_t>(dataPort + i) : dataPort);
        return block;
    }
    // The bytes of a block write to one port, in order.
    static void WriteBlockBytes(const TSMBusRequest& request, std::uint32_t dataPort) {
        for (std::uint8_t byte : *request.Block) Out(dataPort, byte);
    }
    static std::uint8_t BlockSize(const TSMBusRequest& request) {
        return static_cast<std::uint8_t>(request.Block ? request.Block->size() : 0);
    }
};

// Protocol numbers 0 to 4 to the family's register bits.
using TProtocolBits = std::array<std::uint8_t, 5>;
