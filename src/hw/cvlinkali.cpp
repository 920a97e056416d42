// The ALi M7101 SMBus host.

#include <memory>

#include "hw/cvsmbusports.h"

namespace {

namespace Sts {
constexpr std::uint8_t Idle = 0x04, Busy = 0x08, Done = 0x10, DeviceError = 0x20, Collision = 0x40, Failed = 0x80;
constexpr std::uint8_t Stale = 0xE8, Errors = 0xE0;
}  // namespace Sts
namespace Cnt {
constexpr std::uint8_t Abort = 0x04, TimeoutReset = 0x08, BlockClear = 0x80;
}

constexpr TProtocolBits AliProtocols = {0x00, 0x10, 0x20, 0x30, 0x40};

class TAliHost : public TPortSMBusHost {
public:
    explicit TAliHost(TLink& link)
        : TPortSMBusHost(link), sts_(At(0)), cnt_(At(1)), start_(At(2)), addr_(At(3)), d0_(At(4)), d1_(At(5)),
          blk_(At(6)), cmd_(At(7)) {}

    bool Prepare(const TSMBusRequest& request) override {
        const std::uint8_t code = Link().ChipsetCode();
        if (code == 27 || code == 28) Out(sts_, 0xFF);
        std::uint8_t status = 0;
        const int left = Wait([&] {
            status = In(sts_);
            return (status & Sts::Idle) != 0;
        });
        if (left == 0)
            return Fail(SMBusErrors::TimeoutStart, "Timeout waiting IDLE SMBus $%.2x (STS=$%.2x)",
                        {request.Address, status});
        if (code == 29) Out(sts_, 0xFF);
        Out(addr_, request.AddressByte());
        Update(cnt_, Cnt::BlockClear, AliProtocols[request.Protocol]);
        Out(cmd_, request.Command);
        if (!request.Read) {
            Out(d0_, request.Data0);
            Out(d1_, request.Data1);
        }
        if (request.IsBlockWrite()) {
            Update(cnt_, 0xFF, Cnt::BlockClear);
            WriteBlockBytes(request, blk_);
            Out(d0_, BlockSize(request));
        }
        return true;
    }
    bool BusyCheck(const TSMBusRequest& request) override {
        std::uint8_t status = In(sts_);
        if (status & Sts::Busy) {
            Log("Resetting $%.2x (busy) : $%.2x", {request.Address, status});
            Out(cnt_, Cnt::Abort);
            status = In(sts_);
            if (status & Sts::Busy) {
                Log("Resetting 2 $%.2x (busy) : $%.2x", {request.Address, status});
                Out(cnt_, Cnt::TimeoutReset);
                status = In(sts_);
            }
        }
        if (status & Sts::Stale) {
            Out(sts_, 0xFF);
            status = In(sts_);
            if (status & Sts::Stale)
                return Fail(SMBusErrors::TimeoutStart, "SMBUS reset FAILED! $%.2x : $%.2x", {request.Address, status});
        }
        if (status & Sts::Done) Out(sts_, status);
        return true;
    }
    void StartTransaction(const TSMBusRequest&) override { Out(start_, 0xFF); }
    void WaitForEnd() override {
        endLeft_ = Wait([this] {
            status_ = In(sts_);
            return (status_ & Sts::Busy) == 0 || (status_ & Sts::Idle) != 0;
        });
    }
    bool DecodeError(const TSMBusRequest& request) override {
        const bool result = DecodeByRules(request, endLeft_, status_,
                                          {{Sts::Failed, 0, "Failed transaction! $%.2x"},
                                           {Sts::Collision, SMBusErrors::Collision, nullptr},
                                           {Sts::DeviceError, 0, "SMBUS device error $%.2x"}});
        return result && (status_ & Sts::Done) != 0;
    }
    bool FinalReset(const TSMBusRequest&, bool result) override {
        const std::uint8_t status = In(sts_);
        if ((status & Sts::Done) && (status & Sts::Errors)) Out(cnt_, Cnt::TimeoutReset);
        if ((status & Sts::Done) == 0) Out(cnt_, Cnt::Abort);
        Out(sts_, 0xFF);
        platform::current().clock().sleepMs(1);
        return result;
    }
    std::uint8_t ResultByte() override { return In(d0_); }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override { return {In(d0_), In(d1_)}; }
    // The block index is cleared through the control register, never the command byte.
    TSMBBlockData BlockResult() override {
        Update(cnt_, 0xFF, Cnt::BlockClear);
        return ReadCountedBlock(d0_, blk_, false);
    }

private:
    const std::uint32_t sts_, cnt_, start_, addr_, d0_, d1_, blk_, cmd_;
    std::uint8_t status_ = 0;
    int endLeft_ = 0;
};

}  // namespace

std::unique_ptr<TSMBusHost> MakeAliHost(TLink& link) { return std::make_unique<TAliHost>(link); }
