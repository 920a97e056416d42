#include "chips/cvsensorqst.h"

#include <cmath>

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "firmware/cvintelqst2.h"

using cvformat::Format;

namespace {

const TQSTSensorTexts QST1Texts{"Intel QST 1.x", "Intel QST 1.x Saving Initial State", 8, nullptr};
const TQSTSensorTexts QST2Texts{"Intel QST 2.x", "Intel QST2 Saving Initial State", 32, "Intel QST 2.x Resuming from suspend"};

constexpr int ModeIds[] = {13, 14, 19, 102, 103};
// Time the firmware takes to take a controller back.
constexpr std::uint32_t ModeSettleMs = 1000;

template <class List>
void CopyValues(const List& list, std::span<double> values) {
    for (std::size_t i = 0; i < list.size() && i < values.size(); ++i) values[i] = list[i].Value;
}

template <class List>
void NameReadings(TTreadingArray& readings, const List& list) {
    readings.resize(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) readings[i].Name = list[i].Name;
}

}  // namespace

int QSTModePropId(int n) { return n <= 5 ? ModeIds[n - 1] : 115 + n; }

int QSTModePropController(int id) {
    for (int n = 1; n <= 5; ++n)
        if (ModeIds[n - 1] == id) return n;
    return id >= 121 && id <= 147 ? id - 115 : 0;
}

TIntelQSTSensorBase::TIntelQSTSensorBase(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                         std::string boardVendor, std::string boardProduct, std::string systemProduct,
                                         TCVIntelQST* qst, const TQSTSensorTexts& texts)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)),
      FQst(qst && qst->Available() ? qst : nullptr),
      FTexts(texts) {
    if (FQst) {
        FChipName = texts.chipName;
        NameReadings(FTemps, FQst->FTemps);
        NameReadings(FFans, FQst->FFans);
        NameReadings(FPwms, FQst->FPwms);
        NameReadings(FVolts, FQst->FVolts);
        const int props = std::min(texts.modeProps, static_cast<int>(FQst->FPwms.size()));
        for (int n = 1; n <= props; ++n) AddProp(QSTModePropId(n));
    }
    FinishReadingSetup();
}

TIntelQSTSensor::TIntelQSTSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                 std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TIntelQSTSensorBase(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
                          std::move(systemProduct), IntelQST.get(), QST1Texts) {}

TIntelQST2Sensor::TIntelQST2Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                   std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TIntelQSTSensorBase(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
                          std::move(systemProduct), IntelQST2.get(), QST2Texts) {}

TPropStringArray TIntelQSTSensorBase::GetPropOptionsInternal(int id) {
    if (QSTModePropController(id) > 0) return {"AUTO", "SOFTWARE"};
    return TSensor::GetPropOptionsInternal(id);
}

std::string TIntelQSTSensorBase::GetPropValueInternal(int id) {
    const int n = QSTModePropController(id);
    if (n == 0 || !FQst) return TSensor::GetPropValueInternal(id);
    FQst->UpdatePwms();
    const auto& pwms = FQst->FPwms;
    return n <= static_cast<int>(pwms.size()) && pwms[static_cast<std::size_t>(n - 1)].SW ? "SOFTWARE" : "AUTO";
}

bool TIntelQSTSensorBase::SetPropValueInternal(int id, const std::string& value) {
    const int n = QSTModePropController(id);
    if (n == 0 || !FQst) return TSensor::SetPropValueInternal(id, value);
    // Software control starts with the next duty set; only AUTO acts now.
    if (SameText(value, "SOFTWARE")) return true;
    if (!SameText(value, "AUTO")) return false;
    FQst->SetControllerAuto(n - 1);
    platform::current().clock().sleepMs(ModeSettleMs);
    FQst->UpdatePwms();
    const auto& pwms = FQst->FPwms;
    if (n <= static_cast<int>(pwms.size()) && pwms[static_cast<std::size_t>(n - 1)].SW) {
        Log(Format("ERROR SETTING %s FAN%d BACK INTO AUTO MODE!!!", {FTexts.chipName, n}), 1);
        return false;
    }
    return true;
}

void TIntelQSTSensorBase::ReadTempsInternal(std::span<double> values) {
    if (!FQst) return;
    FQst->UpdateTemps();
    CopyValues(FQst->FTemps, values);
}

void TIntelQSTSensorBase::ReadFansInternal(std::span<double> values) {
    if (!FQst) return;
    FQst->UpdateFans();
    CopyValues(FQst->FFans, values);
}

void TIntelQSTSensorBase::ReadPwmsInternal(std::span<double> values) {
    if (!FQst) return;
    FQst->UpdatePwms();
    CopyValues(FQst->FPwms, values);
}

void TIntelQSTSensorBase::ReadVoltsInternal(std::span<double> values) {
    if (!FQst) return;
    FQst->UpdateVolts();
    CopyValues(FQst->FVolts, values);
}

double TIntelQSTSensorBase::SetPwmInternal(int index, double percent) {
    if (!FQst) return 0;
    double b = percent / 100 * 255;
    if (std::isnan(b) || b < 0) b = 0;
    if (b > 255) b = 255;
    b = std::nearbyint(b);
    FQst->SetDutyCycle(index - 1, static_cast<int>(std::nearbyint(b / 255 * 10000)));
    FQst->UpdatePwms();
    const auto& pwms = FQst->FPwms;
    if (index < 1 || index > static_cast<int>(pwms.size())) return 0;
    return pwms[static_cast<std::size_t>(index - 1)].Value;
}

std::string TIntelQSTSensorBase::GetDebugInfoInternal() {
    std::string text = TSensor::GetDebugInfoInternal();
    if (!FQst) return text;
    for (std::size_t i = 0; i < FQst->FLog.size(); ++i) text += (i == 0 ? "" : "\r\n") + FQst->FLog[i];
    return text;
}

void TIntelQSTSensorBase::PrepareForSuspendInternal() {
    TSensor::PrepareForSuspendInternal();
    if (!FQst) return;
    FQst->UpdatePwms();
    for (std::size_t a = 0; a < FQst->FPwms.size(); ++a) {
        const auto& p = FQst->FPwms[a];
        if (!p.EN || !p.SW) continue;
        LogDebug(Format("%s Preparing for suspend: set PWM[%d] to AUTO", {FTexts.chipName, p.Index}));
        FQst->SetControllerAuto(static_cast<int>(a));
    }
    FQst->PrepareForSuspend();
}

void TIntelQSTSensorBase::ResumeFromSuspendInternal() {
    TSensor::ResumeFromSuspendInternal();
    if (!FQst) return;
    if (FTexts.resumeLine) LogDebug(FTexts.resumeLine);
    FQst->ResumeFromSuspend();
}

void TIntelQSTSensorBase::SaveInitialStateInternal() {
    if (!FQst) return;
    LogDebug(FTexts.savingLine);
    FQst->UpdatePwms();
    const auto& pwms = FQst->FPwms;
    FSavedModes.assign(pwms.size(), 1);
    FSavedDuties.assign(pwms.size(), 0);
    for (std::size_t i = 0; i < pwms.size(); ++i) {
        FSavedModes[i] = pwms[i].SW ? 0 : 1;
        FSavedDuties[i] = pwms[i].Value * 100.0;
        LogDebug(Format("  %s PWM[%d] is currently set to %s (%.0f%%)",
                        {FTexts.chipName, pwms[i].Index, pwms[i].SW ? "SOFTWARE" : "AUTO", FSavedDuties[i] / 100}));
    }
}

void TIntelQSTSensorBase::RestoreInitialStateInternal() {
    if (FQst) {
        const auto& pwms = FQst->FPwms;
        for (std::size_t i = 0; i < FSavedModes.size() && i < pwms.size(); ++i) {
            const int position = static_cast<int>(i);
            if (FSavedModes[i] == 1) {
                LogDebug(Format("  %s setting PWM[%d] to AUTO", {FTexts.chipName, pwms[i].Index}));
                FQst->SetControllerAuto(position);
            } else {
                LogDebug(Format("  %s setting PWM[%d] to %.0f%%", {FTexts.chipName, pwms[i].Index, FSavedDuties[i] / 100}));
                FQst->SetDutyCycle(position, static_cast<int>(std::nearbyint(FSavedDuties[i])));
            }
        }
    }
    TSensor::RestoreInitialStateInternal();
}
