#pragma once
// The host-controller seam of SMBus links. Each host controller family is one
// class derived from TSMBusHost; a link gets the family of its host kind once,
// when it is made, and the transaction engine (TLink::Transaction) drives it
// through the steps below, in their order.

#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "hw/cvlink.h"

// One SMBus request as the engine hands it to a host.
struct TSMBusRequest {
    std::uint8_t Address = 0;  // 7-bit
    std::uint8_t Protocol = 0;
    bool Read = false;
    std::uint8_t Command = 0;
    std::uint8_t Data0 = 0;  // for word data: the high byte
    std::uint8_t Data1 = 0;  // for word data: the low byte
    const TSMBBlockData* Block = nullptr;

    // The byte that goes into the address register: address and R/W bit.
    std::uint8_t AddressByte() const { return static_cast<std::uint8_t>(Address << 1 | (Read ? 1 : 0)); }
    bool IsBlockWrite() const { return Protocol == SMBusProtocols::Block && !Read; }
};

class TSMBusHost {
public:
    static constexpr int PollLimit = 50000;
    static constexpr std::size_t MaxBlockSize = 32;

    explicit TSMBusHost(TLink& link) : link_(link) {}
    virtual ~TSMBusHost() = default;
    TSMBusHost(const TSMBusHost&) = delete;
    TSMBusHost& operator=(const TSMBusHost&) = delete;

    // After the engine's refusals by host kind and before its block guards:
    // refuse the request (setting the outcome code) or carry it out
    // entirely; nullopt lets it go on.
    virtual std::optional<bool> Screen(const TSMBusRequest&) { return std::nullopt; }
    // After the guards: a family with a block transfer of its own takes the
    // block requests here.
    virtual std::optional<bool> OwnBlockTransfer(const TSMBusRequest&) { return std::nullopt; }

    // The common sequence. A step answering False ends the transaction as a
    // failure (the step has set its outcome code).
    virtual bool Prepare(const TSMBusRequest& request) = 0;
    virtual bool BusyCheck(const TSMBusRequest&) { return true; }
    virtual void StartTransaction(const TSMBusRequest& request) = 0;
    virtual void WaitForStart() {}
    // Whether the end wait begins with a 1 ms sleep.
    virtual bool SleepsBeforeEndWait() const { return true; }
    virtual void WaitForEnd() = 0;
    virtual bool DecodeError(const TSMBusRequest& request) = 0;
    virtual bool FinalReset(const TSMBusRequest&, bool result) { return result; }

    // The data of the last read. The word's bytes come in bus order: the
    // first byte on the bus, then the second.
    virtual std::uint8_t ResultByte() { return 0; }
    virtual std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() { return {0, 0}; }
    virtual TSMBBlockData BlockResult() { return {}; }
    virtual bool IsReady() const { return true; }

protected:
    TLink& Link() const { return link_; }
    // A byte count read from a controller, limited to what a block can hold.
    static std::size_t ClampBlockCount(std::size_t count) { return count < MaxBlockSize ? count : MaxBlockSize; }

private:
    TLink& link_;
};

// Reads at most `limit` times until `done()` holds and answers the reads left.
// The wait counts as run out (0) when the count reaches 0, even if that last
// read showed the condition.
template <class Done>
int PollUntil(int limit, Done&& done) {
    int left = limit;
    while (left > 0) {
        --left;
        if (done()) break;
    }
    return left;
}

// A bounded wait that reports the reads it had left to the link's statistics.
template <class Done>
int BoundedWait(TLink& link, int limit, Done&& done) {
    const int left = PollUntil(limit, std::forward<Done>(done));
    link.CountPolls(left);
    return left;
}

// The host controller families, one factory each.
std::unique_ptr<TSMBusHost> MakeIntelHost(TLink& link);
std::unique_ptr<TSMBusHost> MakeAtiIgpHost(TLink& link);
std::unique_ptr<TSMBusHost> MakeVIAHost(TLink& link);
std::unique_ptr<TSMBusHost> MakeUliHost(TLink& link);
std::unique_ptr<TSMBusHost> MakeAMDHost(TLink& link);
std::unique_ptr<TSMBusHost> MakeNVidiaHost(TLink& link);
std::unique_ptr<TSMBusHost> MakeNForce2Host(TLink& link);
std::unique_ptr<TSMBusHost> MakeAliHost(TLink& link);
std::unique_ptr<TSMBusHost> MakeSiS5595Host(TLink& link);
std::unique_ptr<TSMBusHost> MakeSiSx30Host(TLink& link);
std::unique_ptr<TSMBusHost> MakeSiS968Host(TLink& link);

// The host controller family of the link's host kind, or none.
std::unique_ptr<TSMBusHost> MakeSMBusHost(TLink& link);

// The families, one factory each.
std::unique_ptr<TSMBusHost> MakeIntelMCHHost(TLink& link);
std::unique_ptr<TSMBusHost> MakeI2CNVidiaHost(TLink& link);
std::unique_ptr<TSMBusHost> MakeGeodeHost(TLink& link);
