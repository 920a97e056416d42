#pragma once
// The Intel Quiet System Technology sensors: the readings and fan controllers
// of the global QST access object of one generation, with the controllers
// handed back to the firmware at exit, before a sleep and on request.

#include <cstdint>
#include <vector>

#include "core/cvsensors.h"
#include "firmware/cvintelqst.h"

// What the two generations' sensors spell differently.
struct TQSTSensorTexts {
    const char* chipName;
    const char* savingLine;
    int modeProps;            // controllers that get a mode property
    const char* resumeLine;   // nullptr: none
};

class TIntelQSTSensorBase : public TSensor {
protected:
    TIntelQSTSensorBase(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                        std::string boardVendor, std::string boardProduct, std::string systemProduct,
                        TCVIntelQST* qst, const TQSTSensorTexts& texts);

    TPropStringArray GetPropOptionsInternal(int id) override;
    std::string GetPropValueInternal(int id) override;
    bool SetPropValueInternal(int id, const std::string& value) override;
    void ReadTempsInternal(std::span<double> values) override;
    void ReadFansInternal(std::span<double> values) override;
    void ReadPwmsInternal(std::span<double> values) override;
    void ReadVoltsInternal(std::span<double> values) override;
    double SetPwmInternal(int index, double percent) override;
    std::string GetDebugInfoInternal() override;
    void PrepareForSuspendInternal() override;
    void ResumeFromSuspendInternal() override;
    void SaveInitialStateInternal() override;
    void RestoreInitialStateInternal() override;

    std::vector<std::int32_t> FSavedModes;  // 1 automatic, 0 software controlled
    std::vector<double> FSavedDuties;       // hundredths of a percent

private:
    TCVIntelQST* FQst;  // nullptr when missing or not available
    const TQSTSensorTexts& FTexts;
};

class TIntelQSTSensor : public TIntelQSTSensorBase {
public:
    static constexpr std::uint8_t ChipCode = 202;
    TIntelQSTSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                    std::string boardVendor, std::string boardProduct, std::string systemProduct);
};

class TIntelQST2Sensor : public TIntelQSTSensorBase {
public:
    static constexpr std::uint8_t ChipCode = 203;
    TIntelQST2Sensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                     std::string boardVendor, std::string boardProduct, std::string systemProduct);
};

// The catalogue id of "PWM n mode" (n = 1 to 32), and back (0 when no mode id).
int QSTModePropId(int n);
int QSTModePropController(int id);
