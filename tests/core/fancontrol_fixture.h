#pragma once
// Sensors, slots, log sinks and fan curves for the sensors-file and fan-control tests.

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/cvfancontrol.h"
#include "core/cvlogsinks.h"
#include "core/cvreadingslots.h"
#include "core/cvsensors.h"
#include "core/cvvars.h"
#include "hw/cvlink.h"
#include "support/testmachine.h"

namespace fancontroltest {

// An input whose curve rises 0, 5, ..., 75 percent from 30 to 60 degrees.
inline TFanCtrlTemp Curve30To60() {
    TFanCtrlTemp input;
    input.MinTemp = 30;
    input.MaxTemp = 60;
    for (int k = 0; k < FanCurvePointCount; ++k) input.ControlPoints[k] = 5.0 * k;
    return input;
}

// An enabled controller "Case" on the first chip's speed pwmIndex, with one input.
inline TFanController CaseController(int pwmIndex, const TFanCtrlTemp& input) {
    TFanController fc;
    fc.Name = "Case";
    fc.SensorIndex = 0;
    fc.PwmIndex = pwmIndex;
    fc.Enabled = true;
    fc.Temps.push_back(input);
    return fc;
}

// A chip with chosen readings, one own property (id 13, "PWM 1 mode") and
// outputs that record what they were asked.
class TFakeChip : public TSensor {
public:
    TFakeChip(TLink* link, std::uint32_t address, std::string chipName, int temps, int fans, int pwms, int volts)
        : TSensor(link, address, 1, {}, "", "", "") {
        FChipName = std::move(chipName);
        FTemps.resize(temps);
        FFans.resize(fans);
        FPwms.resize(pwms);
        FVolts.resize(volts);
        for (int i = 0; i < volts; ++i) FVolts[i].Name = "V" + std::to_string(i + 1);
        AddProp(13);
        RawTemps.assign(temps, 0);
        FinishReadingSetup();
    }

    void LogTo(TLogSinks& log) {
        FOnLog = [&log](TSensor& sender, const std::string& msg, int level) { log.SensorLog(sender, msg, level); };
    }

    std::vector<double> RawTemps;
    std::vector<std::pair<int, double>> PwmRequests;
    std::string Mode = "Auto";
    bool FailSetPwm = false;
    int SetPwmCalls = 0;  // refused ones too

protected:
    void ReadTempsInternal(std::span<double> values) override {
        std::copy(RawTemps.begin(), RawTemps.end(), values.begin());
    }
    double SetPwmInternal(int index, double percent) override {
        ++SetPwmCalls;
        if (FailSetPwm) throw std::runtime_error("chip locked");
        PwmRequests.emplace_back(index, percent);
        return percent;
    }
    TPropStringArray GetPropOptionsInternal(int id) override {
        if (id == 13) return {"Auto", "Manual"};
        return TSensor::GetPropOptionsInternal(id);
    }
    std::string GetPropValueInternal(int id) override {
        return id == 13 ? Mode : TSensor::GetPropValueInternal(id);
    }
    bool SetPropValueInternal(int id, const std::string& value) override {
        if (id != 13) return TSensor::SetPropValueInternal(id, value);
        Mode = GetPropOptions(0)[GetPropOptionIndex(13, value)];
        return true;
    }
};

// Two chips on one link: "ChipA@$290(onISA@$290)" with 3 temperatures, 2 fans,
// 2 speeds and 1 voltage, and "ChipB@$4C(onISA@$290)" with 2 temperatures and
// 1 speed; slots built and bound in detection order.
struct TTwoChips {
    TTwoChips() {
        Log.SetBoxes(&Boxes);
        Add(0x290, "ChipA", 3, 2, 2, 1);
        Add(0x4C, "ChipB", 2, 0, 1, 0);
        Slots.BuildReadingSlots(Sensors);
        Slots.AutoAssociate(Sensors);
    }
    ~TTwoChips() { FinalizeCvvars(); }

    TFakeChip& Add(std::uint32_t address, const std::string& name, int temps, int fans, int pwms, int volts) {
        Sensors.push_back(CreateSensor<TFakeChip>(&LinkA, address, name, temps, fans, pwms, volts));
        Chip(Sensors.size() - 1).LogTo(Log);
        return Chip(Sensors.size() - 1);
    }
    TFakeChip& Chip(std::size_t i) { return static_cast<TFakeChip&>(*Sensors[i]); }
    bool Logged(const std::string& line) const {
        for (const auto* box : {&Boxes.Info, &Boxes.Readings})
            for (const auto& l : *box)
                if (l == line) return true;
        return false;
    }
    // Lines of both boxes that contain the text.
    int Count(const std::string& text) const {
        int count = 0;
        for (const auto* box : {&Boxes.Info, &Boxes.Readings})
            for (const auto& l : *box)
                if (l.find(text) != std::string::npos) ++count;
        return count;
    }

    testsupport::TestMachine Machine;
    bool VarsReady = (InitializeCvvars(), true);  // the link traces its name into the program folder
    TLink LinkA{2, LinkKinds::ISA, HostKinds::ISA, 0x290, 0};
    TSensorList Sensors;
    TReadingSlots Slots;
    TFanControllers FanControllers;
    TLogBoxRecorder Boxes;
    TLogSinks Log;
};

}  // namespace fancontroltest
