#include "app/gpuservices.h"

#include "core/cvmonitor.h"
#include "cpu/cvatiadl.h"
#include "cpu/cvgeforce.h"
#include "cpu/cvnvapi.h"
#include "cpu/cvnvcpanel.h"

namespace {

namespace ad = platform::adl;

TAdlAdapterInfo AdapterInfo(const std::array<std::uint8_t, ad::AdapterInfoSize>& r) {
    namespace a = ad::adapter;
    const auto number = [&](std::size_t offset) { return static_cast<int>(platform::getDWord(r.data(), offset)); };
    return {number(a::Index),       ad::textAt(r.data(), a::UDID),        number(a::Bus),
            number(a::Device),      number(a::Function),              platform::getDWord(r.data(), a::VendorId),
            ad::textAt(r.data(), a::AdapterName), ad::textAt(r.data(), a::DisplayName), number(a::Present),
            number(a::Exist),       ad::textAt(r.data(), a::DriverPath),  ad::textAt(r.data(), a::DriverPathExt),
            ad::textAt(r.data(), a::PNPString), number(a::OSDisplayIndex)};
}

class TAdl : public TAdlService {
public:
    ~TAdl() override { ResetAtiAdl(); }
    bool GlobalExists() const override { return AtiAdl() != nullptr; }
    void CreateGlobal(std::function<void(const std::string&)> onLog) override { CreateAtiAdl(std::move(onLog)); }
    int AdapterCount() override { return AtiAdl() ? AtiAdl()->AdapterCount() : 0; }
    int CardCount() override { return AtiAdl() ? AtiAdl()->CardCount() : 0; }
    TAdlAdapterInfo GetAdapterInfo(int index) override {
        return AtiAdl() ? AdapterInfo(AtiAdl()->GetAdapterInfo(index)) : TAdlAdapterInfo{};
    }
    TAdlCardInfo GetCardInfo(int index) override {
        if (!AtiAdl()) return {};
        const TAtiAdlCard c = AtiAdl()->GetCardInfo(index);
        return {AdapterInfo(c.Info),  c.TemperatureState,  c.FanInfoState,      c.ActivityState, c.VddcState,
                c.PercentReadState,   c.RpmReadState,      c.PercentWriteState, c.RpmWriteState};
    }
    double GetTemperature(int index) override { return AtiAdl() ? AtiAdl()->GetTemperature(index) : NoTemperature; }
    TAdlFanReading GetFanSpeed(int index, bool wantPercent) override {
        if (!AtiAdl()) return {};
        const TAtiFanReading f = AtiAdl()->GetFanSpeed(index, wantPercent);
        return {f.Percent, f.RPM, f.ApproxRPM};
    }
    TAdlActivity GetActivity(int index) override {
        if (!AtiAdl()) return {};
        const TAdlActivityRecord a = AtiAdl()->GetActivity(index);
        return {a[1], a[2], a[3], a[4], a[5], a[6], a[7], a[8]};
    }
    void ScanI2C() override {
        if (AtiAdl()) AtiAdl()->ScanI2C();
    }
};

class TNVCplAdapter : public TNVCplService {
public:
    bool GlobalExists() const override { return ::NVCpl() != nullptr; }
    std::string GetInitError() const override { return ::GetInitError(); }
    TNVThermalSettings GetThermalSettings(int monitorIndex) override {
        if (!::NVCpl()) return {};
        const TNVCpl::TThermal t = ::NVCpl()->GetThermalSettings(static_cast<std::uint32_t>(monitorIndex));
        return {static_cast<std::int32_t>(t.Core), static_cast<std::int32_t>(t.Ambient), static_cast<std::int32_t>(t.Limit)};
    }
};

}  // namespace

TGpuServices::TGpuServices(TMonitor& monitor)
    : monitor_(monitor), adl_(std::make_unique<TAdl>()), nvcpl_(std::make_unique<TNVCplAdapter>()) {
    LoadNvApi();
    InitNVCpl();
    SetNvApiLogSink([&monitor](const std::string& msg, bool toInfo) { monitor.Log.LogMessageEx(msg, toInfo); });
    SetNvidiaSources(&NvApiSources());
    monitor.NVidiaCards = &GeForceCardServices();
}

TGpuServices::~TGpuServices() {
    monitor_.NVidiaCards = nullptr;
    SetNvidiaSources(nullptr);
    SetNvApiLogSink(nullptr);
    GeForceCards().clear();
    FinalizeNVCpl();
    UnloadNvApi();
}

TAdlService* TGpuServices::Adl() const { return adl_.get(); }
TNVCplService* TGpuServices::NVCpl() const { return nvcpl_.get(); }
