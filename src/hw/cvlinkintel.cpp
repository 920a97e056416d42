// The Intel-style SMBus hosts: Intel (PIIX4, ServerWorks, ICH), AtiIgp (the
// Intel register set, blocks always through the buffer), VIA and ULi.

#include <memory>

#include "hw/cvsmbusports.h"

namespace {

namespace Sts {
constexpr std::uint8_t Busy = 0x01, Errors = 0x1C, Collision = 0x08, Failed = 0x10, DeviceError = 0x04;
constexpr std::uint8_t InUse = 0x40, ByteDone = 0x80;
constexpr std::uint8_t NotInUse = 0xBF;  // everything but the in-use semaphore
}  // namespace Sts
namespace Cnt {
constexpr std::uint8_t Kill = 0x02, LastByte = 0x20, Start = 0x40;
constexpr std::uint8_t NoKillNoStart = 0xBD, NoProtocol = 0xE3;
}  // namespace Cnt

constexpr TProtocolBits IntelProtocols = {0x00, 0x04, 0x08, 0x0C, 0x14};
constexpr TProtocolBits UliProtocols = {0x00, 0x08, 0x10, 0x18, 0x28};

// Registers shared by the three register models, and the steps they share.
class TIchStyleHost : public TPortSMBusHost {
public:
    explicit TIchStyleHost(TLink& link)
        : TPortSMBusHost(link), sts_(At(0)), cnt_(At(2)), cmd_(At(3)), addr_(At(4)), d0_(At(5)), d1_(At(6)),
          blk_(At(7)), aux_(At(0x0D)) {}

    void StartTransaction(const TSMBusRequest&) override { Update(cnt_, 0xFF, Cnt::Start); }
    void WaitForStart() override {
        Wait([this] { return (In(sts_) & Sts::Busy) != 0; });
    }
    void WaitForEnd() override {
        endLeft_ = Wait([this] {
            status_ = In(sts_);
            return (status_ & Sts::Busy) == 0;
        });
    }
    std::uint8_t ResultByte() override { return In(d0_); }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override { return {In(d0_), In(d1_)}; }

protected:
    // Waits while the host is busy; answers the reads left, the last status in `status_`.
    int WaitIdle() {
        return Wait([this] {
            status_ = In(sts_);
            return (status_ & Sts::Busy) == 0;
        });
    }
    void WriteData(const TSMBusRequest& request) {
        Out(d0_, request.Data0);
        Out(d1_, request.Data1);
    }
    void LoadAddress(const TSMBusRequest& request) {
        Out(addr_, request.AddressByte());
        Out(cmd_, request.Command);
    }
    // The end wait ran out with the host still busy.
    bool StuckBusy() const { return endLeft_ == 0 && (status_ & Sts::Busy) != 0; }
    // Intel and VIA: the error bits fail the transaction; only DebugMode
    // says which. A host still busy after the end wait fails with 4.
    bool DecodeStatus(const TSMBusRequest& request, bool logBusy) {
        const bool stuck = StuckBusy();
        if ((status_ & Sts::Errors) == 0 && !stuck) return true;
        if (stuck) Link().SetLastError(SMBusErrors::TimeoutEnd);
        if (Link().DebugMode()) {
            if (status_ & Sts::Failed) Log("SMB Error $%.2x : FAILED (%.2x)", {request.Address, status_});
            if (status_ & Sts::Collision)
                Fail(SMBusErrors::Collision, "SMB Error $%.2x : COLLISION (%.2x)", {request.Address, status_});
            if (logBusy && (status_ & Sts::Busy)) Log("SMB Error $%.2x : BUSY (%.2x)", {request.Address, status_});
        }
        return false;
    }
    void TimeoutIdle(const char* picture, const TSMBusRequest& request) {
        Fail(SMBusErrors::TimeoutStart, picture, {request.Address, status_});
    }

    const std::uint32_t sts_, cnt_, cmd_, addr_, d0_, d1_, blk_, aux_;
    std::uint8_t status_ = 0;
    int endLeft_ = 0;
};

// ---- Intel and AtiIgp ---------------------------------------------------------

class TIntelHost : public TIchStyleHost {
public:
    TIntelHost(TLink& link, bool alwaysBuffered) : TIchStyleHost(link), alwaysBuffered_(alwaysBuffered) {}

    std::optional<bool> OwnBlockTransfer(const TSMBusRequest& request) override {
        if (!UseUglyBlockOp()) return std::nullopt;
        return UglyBlockTransaction(request);
    }

    bool Prepare(const TSMBusRequest& request) override {
        if (!WaitIdleIntel(request, Sts::NotInUse, "Timeout waiting IDLE SMBus $%.2x (STS=$%.2x)", true))
            return false;
        if (!request.Read) WriteData(request);
        Update(cnt_, Cnt::NoProtocol, IntelProtocols[request.Protocol]);
        if (request.IsBlockWrite()) {
            In(cnt_);  // resets the block buffer's index
            WriteBlockBytes(request, blk_);
            Out(d0_, BlockSize(request));
        }
        LoadAddress(request);
        return true;
    }
    bool BusyCheck(const TSMBusRequest&) override { return ClearStale(); }
    bool DecodeError(const TSMBusRequest& request) override { return DecodeStatus(request, true); }
    bool FinalReset(const TSMBusRequest& request, bool result) override {
        std::uint8_t status = In(sts_);
        if (status & Sts::NotInUse) {
            Out(sts_, status & Sts::NotInUse);
            status = In(sts_);
            if (status & Sts::NotInUse) DebugLog("Failed reset at end  $%.2x ($%.2x)", {request.Address, status});
        }
        const std::uint8_t control = In(cnt_);
        if (control & Cnt::Kill) {
            Out(cnt_, control & Cnt::NoKillNoStart);
            Log("SMBus $%.2x KILL is set (CNT=$%.2x): clearing it (final reset)...", {request.Address, control});
        }
        ReleaseSemaphore();
        return result;
    }
    TSMBBlockData BlockResult() override {
        if (byteByByte_) return blockBuffer_;
        In(cnt_);  // resets the block buffer's index
        return ReadCountedBlock(d0_, blk_, false);
    }

private:
    // The PIIX4-class controllers (codes 3 to 8) have no in-use semaphore.
    bool HasSemaphore() const { return Link().ChipsetCode() < 3 || Link().ChipsetCode() > 8; }
    void ReleaseSemaphore() {
        if (HasSemaphore()) Out(sts_, Sts::InUse);
    }

    bool UseUglyBlockOp() {
        const std::uint8_t code = Link().ChipsetCode();
        if (alwaysBuffered_ || (code >= 3 && code <= 8)) return false;
        switch (code) {
            case 58: case 59: case 60: case 62: case 63: case 92:
            // ICH10 (66): with E32B set its byte-done bit never rises, so
            // the byte-by-byte loop would only time out; firmware's choice
            // is used as it stands rather than switched off and back.
            case 66:
                return (In(aux_) & 0x02) == 0;  // the 32-byte buffer is off
            default:
                return true;
        }
    }

    // Waits for idle, kills once and waits again. `staleMask` is what the
    // write-back keeps of the status.
    bool WaitIdleIntel(const TSMBusRequest& request, std::uint8_t staleMask, const char* timeoutPicture,
                       bool releaseOnTimeout) {
        if (WaitIdle() != 0) return true;
        Update(cnt_, Cnt::NoKillNoStart, Cnt::Kill);
        Out(sts_, status_ & staleMask);
        const int left = WaitIdle();
        Update(cnt_, Cnt::NoKillNoStart, 0);
        if (left != 0) return true;
        if (releaseOnTimeout) ReleaseSemaphore();
        TimeoutIdle(timeoutPicture, request);
        return false;
    }

    // Stale status after loading: cleared once, else the transaction fails.
    bool ClearStale() {
        std::uint8_t status = In(sts_);
        if ((status & Sts::NotInUse) == 0) return true;
        Out(sts_, status & Sts::NotInUse);
        status = In(sts_);
        if ((status & Sts::NotInUse) == 0) return true;
        ReleaseSemaphore();
        return Fail(SMBusErrors::NotCompleted);
    }

    // Waits for the byte-done bit; false with the outcome code set when the
    // wait runs out or the host reports an error.
    bool WaitByteDone(const TSMBusRequest& request) {
        // An error ends the wait too: no byte is coming.
        const int left = Wait([this] {
            status_ = In(sts_);
            return (status_ & (Sts::ByteDone | Sts::Errors)) != 0;
        });
        if (status_ & Sts::Errors) {
            if (status_ & Sts::Collision)
                Fail(SMBusErrors::Collision, "BLK SMB Error $%.2x : COLLISION (%.2x)", {request.Address, status_});
            return false;
        }
        return left != 0;
    }
    void AcknowledgeByte() { Out(sts_, static_cast<std::uint8_t>((status_ & Sts::NotInUse) | 0x82)); }

    bool ReadBytes(const TSMBusRequest& request, TSMBBlockData& block) {
        std::size_t left = 0;
        for (bool first = true;; first = false) {
            if (!WaitByteDone(request)) return false;
            if (first) {
                left = ClampBlockCount(In(d0_));
                block.reserve(left);
                if (left == 0) return true;
            }
            block.push_back(In(blk_));
            if (--left == 1) Update(cnt_, 0xFF, Cnt::LastByte);
            AcknowledgeByte();
            if (left == 0) return true;
        }
    }
    bool WriteBytes(const TSMBusRequest& request, const TSMBBlockData& block) {
        for (std::size_t next = 1;; ++next) {
            if (!WaitByteDone(request)) return false;
            if (next < block.size()) Out(blk_, block[next]);
            AcknowledgeByte();
            if (next >= block.size()) return true;
        }
    }

    bool UglyBlockTransaction(const TSMBusRequest& request) {
        byteByByte_ = true;
        TSMBBlockData block = request.Read ? TSMBBlockData{} : *request.Block;
        bool result = false;
        if (WaitIdleIntel(request, 0xCF, "BLK Timeout waiting IDLE SMBus $%.2x (STS=$%.2x)", false)) {
            if (!request.Read) WriteData(request);
            Update(cnt_, Cnt::NoProtocol, IntelProtocols[SMBusProtocols::Block]);
            if (!request.Read) {
                Out(d0_, BlockSize(request));
                Out(blk_, block.front());
            }
            LoadAddress(request);
            if (ClearStale()) {
                result = RunOwnBlock(request, [&] {
                    return request.Read ? ReadBytes(request, block) : WriteBytes(request, block);
                });
            }
        }
        blockBuffer_ = block;
        return Closed(result);
    }

    const bool alwaysBuffered_;
    bool byteByByte_ = false;  // the last block went byte by byte
    TSMBBlockData blockBuffer_;
};

// ---- VIA ----------------------------------------------------------------------

class TVIAHost : public TIchStyleHost {
public:
    using TIchStyleHost::TIchStyleHost;

    bool Prepare(const TSMBusRequest& request) override {
        if (WaitIdle() == 0) {
            Out(sts_, status_);
            if (WaitIdle() == 0) {
                TimeoutIdle("Timeout waiting IDLE SMBus $%.2x (STS=$%.2x)", request);
                return false;
            }
        }
        Update(cnt_, Cnt::NoProtocol, IntelProtocols[request.Protocol]);
        LoadAddress(request);
        WriteData(request);  // for reads too
        if (request.IsBlockWrite()) {
            In(cnt_);
            WriteBlockBytes(request, blk_);
            Out(d0_, BlockSize(request));
        }
        return true;
    }
    bool BusyCheck(const TSMBusRequest&) override {
        std::uint8_t status = In(sts_);
        if (status != 0) {
            Out(sts_, status);
            status = In(sts_);
        }
        return (status & 0x1F) == 0 || Fail(SMBusErrors::NotCompleted);
    }
    bool DecodeError(const TSMBusRequest& request) override { return DecodeStatus(request, false); }
    bool FinalReset(const TSMBusRequest& request, bool result) override {
        std::uint8_t status = In(sts_);
        if (status != 0) {
            Out(sts_, status);
            status = In(sts_);
            if (status != 0) DebugLog("Failed reset at end  $%.2x ($%.2x)", {request.Address, status});
        }
        return result;
    }
    TSMBBlockData BlockResult() override { return ReadCountedBlock(d0_, blk_, false); }
};

// ---- ULi ----------------------------------------------------------------------

class TUliHost : public TIchStyleHost {
public:
    using TIchStyleHost::TIchStyleHost;

    bool Prepare(const TSMBusRequest& request) override {
        if (WaitIdle() == 0) {
            Kill();
            DebugLog("SMBus $%.2x busy waiting IDLE (STS=$%.2x): resetting...", {request.Address, status_});
            const int left = WaitIdle();
            Update(cnt_, NoKillNoStart, 0);
            if (left == 0) {
                TimeoutIdle("Timeout waiting IDLE SMBus $%.2x (STS=$%.2x)", request);
                return false;
            }
        }
        if (!request.Read) WriteData(request);
        Update(cnt_, 0xC7, UliProtocols[request.Protocol]);
        LoadAddress(request);
        return true;
    }
    bool BusyCheck(const TSMBusRequest& request) override {
        std::uint8_t status = In(sts_);
        if ((status & Sts::Busy) == 0) return true;
        DebugLog("SMBus $%.2x busy (STS=$%.2x): resetting...", {request.Address, status});
        Kill();
        Update(cnt_, NoKillNoStart, 0);
        status = In(sts_);
        return (status & Sts::Busy) == 0 || Fail(SMBusErrors::NotCompleted);
    }
    bool DecodeError(const TSMBusRequest& request) override {
        return DecodeByRules(request, endLeft_, status_,
                             {{Sts::Failed, 0, "Failed transaction! $%.2x"},
                              {Sts::Collision, SMBusErrors::Collision, nullptr},
                              {Sts::DeviceError, SMBusErrors::Device, nullptr}});
    }
    bool FinalReset(const TSMBusRequest& request, bool result) override {
        std::uint8_t status = In(sts_);
        if (status & 0xDE) {
            Out(sts_, 0xDE);
            status = In(sts_);
            if (status & 0xDE) DebugLog("Failed reset at end  $%.2x ($%.2x)", {request.Address, status});
        }
        return result;
    }

private:
    static constexpr std::uint8_t NoKillNoStart = 0xBB;
    void Kill() { Update(cnt_, NoKillNoStart, 0x04); }
};

}  // namespace

std::unique_ptr<TSMBusHost> MakeIntelHost(TLink& link) { return std::make_unique<TIntelHost>(link, false); }
std::unique_ptr<TSMBusHost> MakeAtiIgpHost(TLink& link) { return std::make_unique<TIntelHost>(link, true); }
std::unique_ptr<TSMBusHost> MakeVIAHost(TLink& link) { return std::make_unique<TVIAHost>(link); }
std::unique_ptr<TSMBusHost> MakeUliHost(TLink& link) { return std::make_unique<TUliHost>(link); }
