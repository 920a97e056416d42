// I2CNVidia links: a graphics card's I2C bus, through the driver's NVAPI I2C
// calls when the link's card is known to NVAPI, else by bit-banging the
// card's lines.

#include <array>
#include <cstring>

#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvbitbanging.h"
#include "hw/cvnvidiasources.h"
#include "hw/cvsmbushost.h"

using cvformat::Format;

namespace {

constexpr std::uint32_t CrtcPairTag = 0x3D40;
constexpr std::uint32_t NvapiFastSpeed = 35;
constexpr std::uint32_t NvapiFastSpeedFromVersion = 275;

std::string ProtocolName(const TSMBusRequest& request) {
    static const std::array<const char*, 5> names = {"SPQuick", "SPByte", "SPByteData", "SPWordData", "SPBlock"};
    const std::string name = request.Protocol < names.size() ? names[request.Protocol] : "SP?";
    return name + (request.Read ? " read" : " write");
}

class TI2CNVidiaHost : public TSMBusHost {
public:
    explicit TI2CNVidiaHost(TLink& link) : TSMBusHost(link) {
        if (link.BaseAddress() >> 16 == CrtcPairTag) {
            i2c_ = std::make_unique<TNvidiaI2C>(static_cast<std::uint8_t>(link.BaseAddress() >> 8));
            i2c_->OnLog = [&link](const std::string& msg) { link.Log(msg); };
        }
    }

    // The whole transaction is the link's own; the engine's steps never run.
    std::optional<bool> Screen(const TSMBusRequest& request) override {
        const bool ok = useNvapi_ ? NvapiTransaction(request) : BitBangTransaction(request);
        if (!ok && Link().LastError() == SMBusErrors::NoError) Link().SetLastError(SMBusErrors::Unknown);
        return ok;
    }
    bool Prepare(const TSMBusRequest&) override { return false; }
    void StartTransaction(const TSMBusRequest&) override {}
    void WaitForEnd() override {}
    bool DecodeError(const TSMBusRequest&) override { return false; }

    std::uint8_t ResultByte() override { return nvData_[0]; }
    std::pair<std::uint8_t, std::uint8_t> ResultWordBytes() override { return {nvData_[0], nvData_[1]}; }
    // A link without the CRTC pair tag has no lines to drive.
    bool IsReady() const override { return useNvapi_ || (i2c_ && i2c_->BusCheck()); }

    void AttachCard(int nvapiIndex) {
        if (i2c_) i2c_->CardNvapiIndex = nvapiIndex;
        cardIndex_ = nvapiIndex;
        useNvapi_ = nvapiIndex != -1;
    }

private:
    bool Refuse(const TSMBusRequest& request) {
        Link().SetLastError(SMBusErrors::UnsupportedProtocol);
        Link().Log(Format("I2CNVidia does not support %s operations [$%.2x]", {ProtocolName(request), request.Address}),
                   true);
        return false;
    }

    std::uint32_t NvapiI2CSpeed(const TNvApiCardInfo& card) const {
        return card.DriverVersion / 100 < NvapiFastSpeedFromVersion ? 0 : NvapiFastSpeed;
    }

    bool NvapiTransaction(const TSMBusRequest& request) {
        const bool byteData = request.Protocol == SMBusProtocols::ByteData;
        const bool wordRead = request.Protocol == SMBusProtocols::WordData && request.Read;
        if (!byteData && !wordRead) return Refuse(request);

        TNvidiaSources* sources = NvidiaSources();
        const auto card = sources ? sources->Card(cardIndex_) : std::nullopt;
        if (!card) return false;
        const TNvI2CEntries& entries = sources->I2CEntries();

        std::uint8_t command = request.Command;
        std::array<std::uint8_t, 2> data = {request.Data0, 0};
        TNvI2CRequest nv;
        std::memset(&nv, 0, sizeof nv);
        nv.Version = NvI2CRequestVersion;
        nv.Port = static_cast<std::uint32_t>(NvI2CLinesToPort(Link().BaseAddress()));
        nv.IsDDCPort = nv.Port != 0 || request.Address == 0x50 ? 1 : 0;
        nv.DeviceAddress = static_cast<std::uint8_t>(request.Address << 1);
        nv.RegisterAddress = &command;
        nv.RegisterSize = 1;
        nv.Data = data.data();
        nv.DataSize = wordRead ? 2 : 1;
        nv.Speed = NvapiI2CSpeed(*card);

        const auto call = [&](const TNvI2CCallEx& ex, const TNvI2CCall& plain) -> std::optional<std::int32_t> {
            std::uint32_t unknown = 0;
            if (ex) return ex(card->GpuHandle, &nv, &unknown);
            if (plain) return plain(card->GpuHandle, &nv);
            return std::nullopt;
        };
        const auto status = request.Read ? call(entries.I2CReadEx, entries.I2CRead)
                                         : call(entries.I2CWriteEx, entries.I2CWrite);
        if (!status || *status != 0) {
            Link().SetLastError(SMBusErrors::Unknown);
            return false;
        }
        if (request.Read) nvData_ = data;
        Link().SetLastError(SMBusErrors::NoError);
        return true;
    }

    bool BitBangTransaction(const TSMBusRequest& request) {
        const std::uint32_t base = Link().BaseAddress();
        const bool adjacent = (base & 0xFF) == ((base >> 8 & 0xFF) + 1);
        const bool supported = request.Protocol == SMBusProtocols::Quick ||
                               request.Protocol == SMBusProtocols::ByteData ||
                               (request.Protocol == SMBusProtocols::WordData && request.Read);
        if (!adjacent || !supported) return Refuse(request);
        if (!i2c_) return false;

        i2c_->LastError = 0;
        bool ok = false;
        if (request.Protocol == SMBusProtocols::Quick) {
            ok = i2c_->WriteQuickLocked(request.Address);
        } else if (request.Protocol == SMBusProtocols::ByteData && request.Read) {
            ok = i2c_->ReadByteData(request.Address, request.Command, nvData_[0]);
        } else if (request.Protocol == SMBusProtocols::ByteData) {
            ok = i2c_->WriteByteData(request.Address, request.Command, request.Data0);
        } else {
            std::uint16_t word = 0;
            ok = i2c_->ReadWordData(request.Address, request.Command, word);
            if (ok) nvData_ = {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)};
        }
        if (!ok) Link().SetLastError(i2c_->LastError);
        return ok;
    }

    std::unique_ptr<TNvidiaI2C> i2c_;
    bool useNvapi_ = false;
    int cardIndex_ = -1;
    std::array<std::uint8_t, 2> nvData_{};
};

}  // namespace

std::unique_ptr<TSMBusHost> MakeI2CNVidiaHost(TLink& link) { return std::make_unique<TI2CNVidiaHost>(link); }

void TLink::AttachNVAPIGpu(int cardNvapiIndex, int mode) {
    if (auto* host = dynamic_cast<TI2CNVidiaHost*>(host_.get()); host && mode == 1) {
        host->AttachCard(cardNvapiIndex);
        usesNvapi_ = cardNvapiIndex != -1;
        if (cardNvapiIndex != -1)
            WriteDebugLog(Format("Using NVAPI for %s %s at $%.4x", {hostText_, busText_, baseAddress_}));
    }
    WriteDebugLog("chk 1234.6");
}
