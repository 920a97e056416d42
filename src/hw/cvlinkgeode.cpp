// GeodeCompanion links: every transaction goes to the link's own ACCESS.bus
// controller object.

#include "base/cvformat.h"
#include "hw/cvscx200.h"
#include "hw/cvsmbushost.h"

namespace {

class TGeodeHost : public TSMBusHost {
public:
    explicit TGeodeHost(TLink& link) : TSMBusHost(link), scx200_(link.BaseAddress()) {}

    bool Prepare(const TSMBusRequest& request) override {
        scx200_.Transaction(request.Address, request.Protocol, request.Read, request.Command, request.Data0,
                            request.Data1, request.Block ? *request.Block : TSMBBlockData{});
        return true;
    }
    void StartTransaction(const TSMBusRequest&) override {}
    bool SleepsBeforeEndWait() const override { return false; }
    // The controller object has waited already.
    void WaitForEnd() override { Link().CountPolls(PollLimit); }
    bool DecodeError(const TSMBusRequest& request) override {
        switch (scx200_.Result) {
            case TSCx200::Success:
                return true;
            case TSCx200::TimedOut:
                Link().SetErrorAndLog(SMBusErrors::Timeout,
                                      cvformat::Format("SMBus Timeout! $%.2x", {request.Address}));
                return false;
            case TSCx200::NoAcknowledge:
                Link().SetLastError(SMBusErrors::Protocol);
                return false;
            case TSCx200::Unsupported:
                Link().SetErrorAndLog(SMBusErrors::UnsupportedProtocol,
                                      cvformat::Format("SMBus Unsupported Operation! $%.2x", {request.Address}));
                return false;
            default:
                return false;
        }
    }
    std::uint8_t ResultByte() override { return BufferByte(0); }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override { return {BufferByte(0), BufferByte(1)}; }

private:
    std::uint8_t BufferByte(std::size_t i) const { return i < scx200_.Buffer.size() ? scx200_.Buffer[i] : 0; }

    TSCx200 scx200_;
};

}  // namespace

std::unique_ptr<TSMBusHost> MakeGeodeHost(TLink& link) { return std::make_unique<TGeodeHost>(link); }
