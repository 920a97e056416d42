#pragma once
// The other maker's display library: one binding per process, its adapters
// and the distinct cards behind them, and per card the temperature, activity
// and fan with a state per feature, so a failing feature is asked once.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/gpulibraries.h"

using TAdlLog = std::function<void(const std::string& msg)>;

struct TAtiAdlCard {
    std::array<std::uint8_t, platform::adl::AdapterInfoSize> Info{};
    std::uint8_t TemperatureState = 0, FanInfoState = 0, ActivityState = 0, VddcState = 0, PercentReadState = 0,
                 RpmReadState = 0, PercentWriteState = 0, RpmWriteState = 0;
    std::int32_t MinPerc = 0, MaxPerc = 0, MinRPM = 0, MaxRPM = 0;
    bool FanLogged = false, TemperatureLogged = false;
    int AdapterIndex() const { return static_cast<int>(platform::getDWord(Info.data(), platform::adl::adapter::Index)); }
};

struct TAtiFanReading {
    double Percent = 0;
    std::int32_t RPM = 0, ApproxRPM = 0;
    bool PercentValid = false, RPMValid = false, ApproxValid = false;
};

// Ten 32-bit fields: engine clock, memory clock, Vddc (mV), activity percent, ...
using TAdlActivityRecord = std::array<std::int32_t, 10>;

// Binds the library (counted); AdlLog's lines go to `event`, else to the trace.
void LoadAdl(const TAdlLog& event);
void ReleaseAdl(const TAdlLog& event);
bool AdlLoaded();
int ADLHandleReferences();
// Buffers the library allocated through the binding and still holds.
std::size_t AdlAllocations();

class TAtiAdl {
public:
    static constexpr double NoTemperature = -999;

    TAtiAdl(bool enumerate, TAdlLog onLog);
    ~TAtiAdl();
    TAtiAdl(const TAtiAdl&) = delete;
    TAtiAdl& operator=(const TAtiAdl&) = delete;

    void Enumerate();
    int AdapterCount() const { return static_cast<int>(FAdapters.size()); }
    int CardCount() const { return static_cast<int>(FCards.size()); }
    std::array<std::uint8_t, platform::adl::AdapterInfoSize> GetAdapterInfo(int index) const;
    TAtiAdlCard GetCardInfo(int index) const;
    double GetTemperature(int index);
    TAdlActivityRecord GetActivity(int index);
    TAtiFanReading GetFanSpeed(int index, bool wantPercent);
    int GetFanPercent(int index);
    int SetFanPercent(int index, int percent, bool readBack);
    bool GetCardFanSpeedManualControl(int index);
    void ScanI2C();
    // The driver-default fan call: its status, or -1 when not bound.
    int FanSpeedToDefault(int index);

private:
    void Log(const std::string& msg);
    bool Valid(int index) const { return index >= 0 && index < CardCount(); }
    // One fan value (speed type 1 percent, 2 RPM); nullopt-like: false on failure.
    bool ReadFanValue(TAtiAdlCard& card, int type, int flags, std::int32_t& speed, std::uint32_t& valueFlags);
    int RegisterDump(int adapter, int line, int address, const std::string& title);

    std::vector<std::array<std::uint8_t, platform::adl::AdapterInfoSize>> FAdapters;
    std::vector<TAtiAdlCard> FCards;
    TAdlLog FOnLog;
};

// The process's one wrapper object, made by the first detection that asks.
TAtiAdl* AtiAdl();
void CreateAtiAdl(TAdlLog onLog);
// Frees it (the program's end, and tests).
void ResetAtiAdl();
