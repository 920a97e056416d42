#include "chips/cvgpusensors.h"

#include <cmath>
#include <exception>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "cpu/cvatiadl.h"
#include "cpu/cvgeforce.h"
#include "cpu/cvnvcpanel.h"

using cvformat::Format;

TNVCplSensor::TNVCplSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                           std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "NVidia Video Card";
    FTemps = {{"Core"}, {"Ambient"}};
    FinishReadingSetup();
}

void TNVCplSensor::ReadTempsInternal(std::span<double> values) {
    TNVCpl::TThermal t;
    if (TNVCpl* cpl = NVCpl()) t = cpl->GetThermalSettings(FAddress);
    values[0] = t.Core;
    values[1] = t.Ambient;
}

TGeForceSensor::TGeForceSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                               std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "GeForce Video Card";
    FTemps = {{"GPU"}};
    if (address < GeForceCards().size()) FDisplayName = GeForceCards()[address]->GetCardKey();
    FinishReadingSetup();
}

void TGeForceSensor::ReadTempsInternal(std::span<double> values) {
    try {
        if (FAddress >= GeForceCards().size()) throw std::out_of_range("no such card");
        values[0] = GeForceCards()[FAddress]->ReadTemperature(TGeForcePciCard::MixedModel);
    } catch (const std::exception& e) {
        Log(Format("Error in READTEMPSINTERNAL for GeForce card #%d (%s)", {FAddress, e.what()}), 1);
    }
}

TATIADLSensor::TATIADLSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                             std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "ATI Video Card";
    if (TAtiAdl* adl = AtiAdl(); adl && chipCode == ChipCode) {
        TChipAccess access(FLink);
        adl->GetTemperature(Card());
        if (adl->GetCardInfo(Card()).TemperatureState == 1) FTemps = {{"GPU"}};
        const TAtiFanReading fan = adl->GetFanSpeed(Card(), true);
        const TAtiAdlCard card = adl->GetCardInfo(Card());
        LogDebug(Format("HasFan: CanRead=%d Valid=%d Inferred=%d", {card.FanInfoState, fan.RPMValid ? 1 : 0, fan.ApproxValid ? 1 : 0}));
        if (card.FanInfoState == 1 && (fan.RPMValid || fan.ApproxValid)) FFans = {{"GPU Fan"}};
        if (card.PercentReadState == 1) FPwms = {{"GPU Fan"}};
        adl->GetActivity(Card());
        if (adl->GetCardInfo(Card()).VddcState == 1) FVolts = {{"GPU Vddc"}};
    }
    FinishReadingSetup();
}

bool TATIADLSensor::Serves() const { return FChipCode == ChipCode && AtiAdl(); }

// ATI's substitutes (-999, or 0 once a feature failed) are no value: the reading is skipped.
void TATIADLSensor::ReadTempsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (!Serves()) return;
    const double t = AtiAdl()->GetTemperature(Card());
    if (t != TAtiAdl::NoTemperature) values[0] = t;
}

void TATIADLSensor::ReadFansInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (!Serves()) return;
    const TAtiFanReading fan = AtiAdl()->GetFanSpeed(Card(), true);
    if (fan.RPMValid)
        values[0] = fan.RPM;
    else if (fan.ApproxValid)
        values[0] = fan.ApproxRPM;
}

void TATIADLSensor::ReadPwmsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (!Serves()) return;
    values[0] = AtiAdl()->GetFanPercent(Card());
}

void TATIADLSensor::ReadVoltsInternal(std::span<double> values) {
    TChipAccess access(FLink);
    if (!Serves()) return;
    values[0] = AtiAdl()->GetActivity(Card())[3] / 1000.0;
}

double TATIADLSensor::SetPwmInternal(int index, double percent) {
    if (index != 1 || !Serves()) return 0;
    TChipAccess access(FLink);
    const double clamped = std::isnan(percent) || percent < 0 ? 0 : std::min(percent, 100.0);
    return AtiAdl()->SetFanPercent(Card(), static_cast<int>(std::nearbyint(clamped)), true);
}

void TATIADLSensor::SaveInitialStateInternal() {
    LogDebug("Entering TATIADLSensor.SaveInitialStateInternal");
    TSensor::SaveInitialStateInternal();
    FUserFanControl = Serves() && AtiAdl()->GetCardFanSpeedManualControl(Card());
    LogDebug(FUserFanControl ? "Fan speed is currently controlled by the user" : "Fan speed is currently controlled by the driver");
    LogDebug("Exiting TATIADLSensor.SaveInitialStateInternal");
}

void TATIADLSensor::RestoreInitialStateInternal() {
    if (!FUserFanControl && Serves()) {
        LogDebug("Disabling Manual Fan Control");
        LogDebug(Format("ADL_Overdrive5_FanSpeedToDefault_Set returned %d", {AtiAdl()->FanSpeedToDefault(Card())}));
    }
    LogDebug("Exiting TATIADLSensor.RestoreInitialStateInternal");
    TSensor::RestoreInitialStateInternal();
}
