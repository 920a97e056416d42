// IntelMCH links: SPD bytes read through two registers in the PCI
// configuration space of an Intel memory controller.

#include "base/cvformat.h"
#include "hw/cvpci.h"
#include "hw/cvsmbushost.h"

namespace {

constexpr int WaitLimit = 10000;
constexpr std::uint16_t Busy = 0x1000;
constexpr std::uint16_t DataReady = 0x8000;
// The fields of the command dword that a read sets; every other bit stays.
constexpr std::uint32_t CommandFields = 0xFFFF0001;

std::uint32_t CommandDWord(std::uint32_t previous, std::uint8_t address, std::uint8_t command) {
    return (previous & ~CommandFields) | std::uint32_t{command} << 16 | std::uint32_t(address & 0x0F) << 24 |
           std::uint32_t(address >> 4 & 0x07) << 29;
}

class TIntelMCHHost : public TSMBusHost {
public:
    using TSMBusHost::TSMBusHost;

    bool Prepare(const TSMBusRequest& request) override {
        std::uint16_t status = 0;
        const int left = BoundedWait(Link(), WaitLimit, [&] { return !((status = ReadStatus()) & Busy); });
        if (left > 0) return true;
        Link().SetErrorAndLog(SMBusErrors::TimeoutStart,
                              cvformat::Format("Timeout waiting IDLE SMBus $%.2x (STS=$%.2x)",
                                               {request.Address, status >> 8}));
        return false;
    }
    void StartTransaction(const TSMBusRequest& request) override {
        const int reg = CommandRegister();
        WritePCIConfigDWord(Bus(), Device(), Function(), reg,
                            CommandDWord(ReadPCIConfigDWord(Bus(), Device(), Function(), reg), request.Address,
                                         request.Command));
    }
    bool SleepsBeforeEndWait() const override { return false; }
    void WaitForEnd() override {
        BoundedWait(Link(), WaitLimit, [&] { return (status_ = ReadStatus()) & DataReady; });
    }
    bool DecodeError(const TSMBusRequest&) override {
        if (status_ & DataReady) {
            MCHData = static_cast<std::uint8_t>(status_);
            return true;
        }
        Link().SetErrorAndLog(SMBusErrors::Timeout, "Intel MCH SMBus Timeout waiting for data");
        return false;
    }
    std::uint8_t ResultByte() override { return MCHData; }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override { return {MCHData, 0}; }

private:
    int Bus() const { return Link().PciBus(); }
    int Device() const { return Link().PciDevice(); }
    int Function() const { return Link().PciFunction(); }
    int CommandRegister() const { return static_cast<int>(Link().BaseAddress() & 0xFF); }
    int StatusRegister() const { return static_cast<int>(Link().BaseAddress() >> 16 & 0xFF); }
    std::uint16_t ReadStatus() const { return ReadPCIConfigWord(Bus(), Device(), Function(), StatusRegister()); }

    std::uint16_t status_ = 0;
    std::uint8_t MCHData = 0;
};

}  // namespace

std::unique_ptr<TSMBusHost> MakeIntelMCHHost(TLink& link) { return std::make_unique<TIntelMCHHost>(link); }
