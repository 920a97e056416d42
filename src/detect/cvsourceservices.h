#pragma once
// What the graphics-card and uGuru detection steps ask of access objects
// that live above or beside detection's reach until their subsystems wire
// them: the ADL wrapper, the NVIDIA control panel and a temporary uGuru.
// Each subsystem implements its interface over its own object and app/
// installs it; a step whose service is missing is not built.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---- ATI ADL -------------------------------------------------------------------

struct TAdlAdapterInfo {
    int AdapterIndex = 0;
    std::string UDID;
    int BusNumber = 0;
    int DeviceNumber = 0;
    int FunctionNumber = 0;
    std::uint32_t VendorId = 0;
    std::string AdapterName;
    std::string DisplayName;
    int Present = 0;
    int Exist = 0;
    std::string DriverPath;
    std::string DriverPathExt;
    std::string PNPString;
    int OSDisplayIndex = 0;
};

// A card's feature state: 0 not yet known, 1 working, 2 failed.
enum TAdlFeatureState : std::uint8_t { AdlUnknown = 0, AdlWorking = 1, AdlFailed = 2 };

struct TAdlCardInfo {
    TAdlAdapterInfo Info;
    std::uint8_t TemperatureState = AdlUnknown;
    std::uint8_t FanInfoState = AdlUnknown;
    std::uint8_t ActivityState = AdlUnknown;
    std::uint8_t VddcState = AdlUnknown;
    std::uint8_t PercentReadState = AdlUnknown;
    std::uint8_t RpmReadState = AdlUnknown;
    std::uint8_t PercentWriteState = AdlUnknown;
    std::uint8_t RpmWriteState = AdlUnknown;
};

struct TAdlActivity {
    int EngineClock = 0;  // 10 kHz
    int MemoryClock = 0;  // 10 kHz
    int Vddc = 0;         // mV
    int ActivityPercent = 0;
    int CurrentPerformanceLevel = 0;
    int CurrentBusSpeed = 0;
    int CurrentBusLanes = 0;
    int MaximumBusLanes = 0;
};

struct TAdlFanReading {
    double Percent = 0;
    int RPM = 0;
    int ApproxRPM = 0;
};

// The process's one ADL wrapper object. The ATI step makes it the first time
// it runs; it then lives as long as the process (the service offers a reset
// for tests).
class TAdlService {
public:
    static constexpr double NoTemperature = -999;

    virtual ~TAdlService() = default;
    virtual bool GlobalExists() const = 0;
    // Binds the library and lists the adapters; OnLog receives the object's lines.
    virtual void CreateGlobal(std::function<void(const std::string& msg)> onLog) = 0;
    virtual int AdapterCount() = 0;
    virtual int CardCount() = 0;
    virtual TAdlAdapterInfo GetAdapterInfo(int index) = 0;
    virtual TAdlCardInfo GetCardInfo(int index) = 0;
    // NoTemperature when there is no reading.
    virtual double GetTemperature(int index) = 0;
    virtual TAdlFanReading GetFanSpeed(int index, bool wantPercent) = 0;
    virtual TAdlActivity GetActivity(int index) = 0;
    // The I2C scan of every card, to the trace.
    virtual void ScanI2C() = 0;
};

// ---- NVIDIA control panel ------------------------------------------------------

struct TNVThermalSettings {
    std::int32_t Core = 0;
    std::int32_t Ambient = 0;
    std::int32_t Limit = 0;
};

// The control-panel object that its own unit makes at start-up.
class TNVCplService {
public:
    virtual ~TNVCplService() = default;
    virtual bool GlobalExists() const = 0;
    // The start-up error text; empty when none.
    virtual std::string GetInitError() const = 0;
    virtual TNVThermalSettings GetThermalSettings(int monitorIndex) = 0;
};

// ---- uGuru ---------------------------------------------------------------------

struct TUGuruItem {
    std::uint8_t Kind = 0;  // 0 unused, 1 temperature, 2 voltage, 3 fan
    std::string Name;
};

// What a temporary uGuru object read of the board.
struct TUGuruBoard {
    std::string Manufacturer;
    std::string Product;
    bool Matched = false;
    std::string Model;
    std::vector<TUGuruItem> Items;
};

class TUGuruService {
public:
    virtual ~TUGuruService() = default;
    // Makes a temporary uGuru object, reads its identity and items, frees it.
    virtual TUGuruBoard ReadBoard() = 0;
};

// ---- what app/ installs --------------------------------------------------------

// The services are null while their subsystem is not in this build.
struct TSourceServices {
    TAdlService* Adl = nullptr;
    TNVCplService* NVCpl = nullptr;
    TUGuruService* UGuru = nullptr;
    // Where the test-mode marker file is looked for; tests use their own folder.
    std::string MarkerFolder = ".";
};
