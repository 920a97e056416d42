// The AMD-register SMBus hosts (AMD756/8111 at B+E0h, the first nForce at
// B+0) and the nForce2 host with its protocol-code register.

#include <memory>

#include "hw/cvsmbusports.h"
#include "platform/platform.h"

namespace {

// ---- AMD and nVidia -------------------------------------------------------------

namespace Gsts {
constexpr std::uint16_t Collision = 0x02, ProtocolError = 0x04, Busy = 0x08, Complete = 0x10, Timeout = 0x20;
constexpr std::uint16_t ClearAll = 0x0037;
}  // namespace Gsts

constexpr TProtocolBits AmdProtocols = {0, 1, 2, 3, 5};

class TAMDHost : public TPortSMBusHost {
public:
    // `offset`: where the register set starts above the base.
    TAMDHost(TLink& link, std::uint32_t offset)
        : TPortSMBusHost(link), gsts_(At(offset)), gen_(At(offset + 2)), haddr_(At(offset + 4)),
          d0_(At(offset + 6)), d1_(At(offset + 7)), hcmd_(At(offset + 8)), blk_(At(offset + 9)) {}

    bool Prepare(const TSMBusRequest& request) override {
        UpdateGen(0xFFF8, AmdProtocols[request.Protocol]);
        linkio::WritePortWord(haddr_, request.AddressByte());
        Out(hcmd_, request.Command);
        Out(d0_, request.Data0);
        Out(d1_, request.Data1);
        if (request.IsBlockWrite()) {
            WriteBlockBytes(request, blk_);
            Out(d0_, BlockSize(request));
        }
        return true;
    }
    bool BusyCheck(const TSMBusRequest& request) override {
        std::uint16_t status = linkio::ReadPortWord(gsts_);
        if ((status & Gsts::Busy) == 0) return true;
        Log("SMBus busy $%.2x (STS=$%.4x): resetting...", {request.Address, status});
        UpdateGen(0xFFFF, 0x20);  // abort
        platform::current().clock().sleepMs(1);
        status = linkio::ReadPortWord(gsts_);
        return (status & Gsts::Busy) == 0 || Fail(SMBusErrors::NotCompleted);
    }
    void StartTransaction(const TSMBusRequest&) override { UpdateGen(0xFFFF, 0x08); }
    void WaitForStart() override {
        Wait([this] { return (linkio::ReadPortWord(gsts_) & Gsts::Busy) != 0; });
    }
    void WaitForEnd() override {
        Wait([this] {
            status_ = linkio::ReadPortWord(gsts_);
            return (status_ & Gsts::Busy) == 0;
        });
    }
    // A later rule overrides an earlier code.
    bool DecodeError(const TSMBusRequest& request) override {
        if (status_ & (Gsts::Collision | Gsts::ProtocolError | Gsts::Timeout)) {
            if (status_ & Gsts::Collision)
                Fail(SMBusErrors::Collision, "SMB Error $%.2x : COLLISION (%.4x)", {request.Address, status_});
            if (status_ & Gsts::ProtocolError) Fail(SMBusErrors::Protocol);
            if (status_ & Gsts::Timeout) Fail(SMBusErrors::TimeoutEnd, "SMBUS Timeout! $%.2x", {request.Address});
            return false;
        }
        return (status_ & Gsts::Complete) != 0 || Fail(SMBusErrors::NotComplete);
    }
    bool FinalReset(const TSMBusRequest& request, bool result) override {
        linkio::WritePortWord(gsts_, Gsts::ClearAll);
        const std::uint16_t status = linkio::ReadPortWord(gsts_);
        if ((status & Gsts::ClearAll) == 0) return result;
        DebugLog("Failed reset at end $%.2x GSTS=%.4x", {request.Address, status});
        return false;
    }
    std::uint8_t ResultByte() override { return In(d0_); }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override { return {In(d0_), In(d1_)}; }
    TSMBBlockData BlockResult() override { return ReadCountedBlock(d0_, blk_, false); }

private:
    void UpdateGen(std::uint16_t keep, std::uint16_t set) {
        linkio::WritePortWord(gen_, static_cast<std::uint16_t>((linkio::ReadPortWord(gen_) & keep) | set));
    }

    const std::uint32_t gsts_, gen_, haddr_, d0_, d1_, hcmd_, blk_;
    std::uint16_t status_ = 0;
};

// ---- nForce2 --------------------------------------------------------------------

// Protocol codes, write variant; the read variant is one more.
constexpr TProtocolBits NForce2Protocols = {0x02, 0x04, 0x06, 0x08, 0x0A};

struct TNForce2Status {
    std::uint8_t code;
    const char* text;  // nullptr: no line
    std::uint8_t outcome;
};
constexpr TNForce2Status NForce2Statuses[] = {
    {0x07, "Unknown Failure", SMBusErrors::UnknownFailure},
    {0x10, nullptr, SMBusErrors::NoAck},
    {0x11, "Device Error", SMBusErrors::Device},
    {0x12, "Command Denied", SMBusErrors::CommandDenied},
    {0x13, "Unknown Error", SMBusErrors::Unknown},
    {0x17, "Access Denied", SMBusErrors::AccessDenied},
    {0x18, "Timeout", SMBusErrors::Timeout},
    {0x19, "Bad Protocol", SMBusErrors::Protocol},
    {0x1A, "Busy", SMBusErrors::Busy},
    {0x1F, "PEC Error", SMBusErrors::PEC},
};
constexpr TNForce2Status NForce2Unlisted = {0, "NOTLISTED", SMBusErrors::Unknown};

class TNForce2Host : public TPortSMBusHost {
public:
    explicit TNForce2Host(TLink& link)
        : TPortSMBusHost(link), prtcl_(At(0)), sts_(At(1)), addr_(At(2)), cmd_(At(3)), data_(At(4)),
          bcnt_(At(0x24)) {}

    bool Prepare(const TSMBusRequest& request) override {
        const int left = Wait([this] { return (In(prtcl_) & 0x7F) == 0; });
        const std::uint8_t status = In(sts_);
        // A host that stays busy is used anyway.
        if (left == 0) DebugLog("SMBus $%.2x busy waiting IDLE (STS=$%.2x)...", {request.Address, status});
        if (!request.Read) {
            Out(data_, request.Data0);
            Out(static_cast<std::uint32_t>(data_ + 1), request.Data1);
        }
        Out(addr_, static_cast<std::uint8_t>(request.Address << 1));  // the direction is in the protocol code
        Out(cmd_, request.Command);
        if (request.IsBlockWrite()) {
            Out(bcnt_, BlockSize(request));
            for (std::size_t i = 0; i < request.Block->size(); ++i)
                Out(static_cast<std::uint32_t>(data_ + i), (*request.Block)[i]);
        }
        return true;
    }
    // Writing the protocol code starts the transaction.
    void StartTransaction(const TSMBusRequest& request) override {
        Out(prtcl_, static_cast<std::uint8_t>(NForce2Protocols[request.Protocol] | (request.Read ? 1 : 0)));
    }
    void WaitForEnd() override {
        endLeft_ = Wait([this] {
            status_ = In(sts_);
            return (status_ & 0x80) != 0;
        });
    }
    bool DecodeError(const TSMBusRequest& request) override {
        if (endLeft_ == 0) return Fail(SMBusErrors::Timeout);  // never done
        const std::uint8_t code = status_ & 0x1F;
        if (code == 0) return true;
        if (!Link().DebugMode()) return false;
        const TNForce2Status* found = &NForce2Unlisted;
        for (const auto& row : NForce2Statuses) {
            if (row.code == code) found = &row;
        }
        if (found->text) Log("SMB Error $%.2x : %s (%.2x)", {request.Address, found->text, status_});
        return Fail(found->outcome);
    }
    std::uint8_t ResultByte() override { return In(data_); }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override {
        return {In(data_), In(static_cast<std::uint32_t>(data_ + 1))};
    }
    TSMBBlockData BlockResult() override { return ReadCountedBlock(bcnt_, data_, true); }

private:
    const std::uint32_t prtcl_, sts_, addr_, cmd_, data_, bcnt_;
    std::uint8_t status_ = 0;
    int endLeft_ = 0;
};

}  // namespace

std::unique_ptr<TSMBusHost> MakeAMDHost(TLink& link) { return std::make_unique<TAMDHost>(link, 0xE0); }
std::unique_ptr<TSMBusHost> MakeNVidiaHost(TLink& link) { return std::make_unique<TAMDHost>(link, 0); }
std::unique_ptr<TSMBusHost> MakeNForce2Host(TLink& link) { return std::make_unique<TNForce2Host>(link); }
