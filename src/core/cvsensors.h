#pragma once
// The sensor base class: every source of readings (monitoring chips, on-die
// sensors, graphics cards, firmware interfaces, disks) derives from TSensor.
//
// Outside the chip drivers a sensor is used only through the public,
// non-virtual operations; each wraps one protected virtual "...Internal" slot
// that a driver overrides. The wrappers apply the user's corrections, feed the
// readings' statistics and turn a driver's failure into a log line, so one bad
// chip never stops the monitoring cycle.
//
// Writing a driver:
//   class TMyChip : public TSensor {
//   public:
//       TMyChip(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
//               std::string boardVendor, std::string boardProduct, std::string systemProduct)
//           : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor),
//                     std::move(boardProduct), std::move(systemProduct)) {
//           FChipName = "My chip";
//           FTemps.resize(2);            // size the four lists, name what the chip knows
//           FTemps[0].Name = "CPU";
//           AddProp(1);                  // the chip's own properties come first
//           FinishReadingSetup();        // always last
//       }
//   protected:
//       void ReadTempsInternal(std::span<double> values) override;  // one value per reading
//   };
// and create it with CreateSensor<TMyChip>(link, address, code, onLog, vendor, product, system),
// which runs AfterConstruction once the constructor chain has finished (display
// name, correction lists, base properties). A sensor made any other way lacks them.
//
// Choices made here:
// - A value text that is no option of a base property leaves the value as it
//   was; property stores answer whether they stored.
// - The base SetPwmInternal drives nothing, so it answers the duty the output
//   still holds (its newest recorded sample): the reading never shows a duty
//   the output does not have.
// - A sensor without a link shows "none" for the link in its display name.

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/cvvars.h"
#include "hw/cvlink.h"

class TSensor;

// One reading: copies share the statistics object, which the sensor owns.
struct TReading {
    std::string Name;
    TValueStats* Stats = nullptr;
};

using TTreadingArray = std::vector<TReading>;
using TPropStringArray = std::vector<std::string>;

struct TFanMultDiv {
    std::int32_t Mult = 1;
    std::int32_t Div = 1;
};

// Level 1: an error or a line worth showing the user; level 0: a debug line.
using TSensorLogEvent = std::function<void(TSensor& sender, const std::string& msg, int level)>;

// ---- chip property catalogue -------------------------------------------------

struct TPropInfo {
    std::int32_t Id;
    std::string Name;
};

// 148 rows; row n (0-based) holds id n + 1.
const std::vector<TPropInfo>& SensorPropInfos();
// The catalogue name of an id, "<unknown>" when no row has it.
std::string SensorPropName(int id);
// The id itself when the catalogue has it, else -1.
int SensorPropId(int id);

// First ids of the corrections every sensor offers.
inline constexpr int PropFanMultFirst = 26;
inline constexpr int PropFanDivFirst = 46;
inline constexpr int PropReversePwmFirst = 66;
inline constexpr int PropTempOffsetFirst = 76;
inline constexpr int PropBaseLast = 95;

// ---- the sensor --------------------------------------------------------------

class TSensor {
public:
    static constexpr std::int32_t MaxInt = std::numeric_limits<std::int32_t>::max();

    TSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
            std::string boardVendor, std::string boardProduct, std::string systemProduct);
    virtual ~TSensor();
    TSensor(const TSensor&) = delete;
    TSensor& operator=(const TSensor&) = delete;

    // Runs once the whole constructor chain has finished; CreateSensor calls it.
    virtual void AfterConstruction();

    // Counts and readings, 1-based; an index out of range gives the zero reading.
    int GetTempCount() const { return static_cast<int>(FTemps.size()); }
    int GetFanCount() const { return static_cast<int>(FFans.size()); }
    int GetPwmCount() const { return static_cast<int>(FPwms.size()); }
    int GetVoltCount() const { return static_cast<int>(FVolts.size()); }
    TReading GetTemp(int index) const { return readingAt(FTemps, index); }
    TReading GetFan(int index) const { return readingAt(FFans, index); }
    TReading GetPwm(int index) const { return readingAt(FPwms, index); }
    TReading GetVolt(int index) const { return readingAt(FVolts, index); }

    // Each reads its whole list once and adds one sample to every reading.
    void ReadTemps();
    void ReadFans();
    void ReadPwms();
    void ReadVolts();

    // Index is 1-based; out of range does nothing. Answers whether the output
    // took the duty. A refusal is logged unless logFailure is off (fan control
    // logs a refusal that repeats only once).
    bool SetPwm(int index, double percent, bool logFailure = true);

    // Properties by position in FProps (0-based).
    void AddProp(int id) { FProps.push_back(id); }
    int GetPropCount() const { return static_cast<int>(FProps.size()); }
    int GetPropId(int index);
    virtual std::string GetPropName(int index);
    TPropStringArray GetPropOptions(int index);
    std::string GetPropValue(int index);
    bool SetPropValue(int index, const std::string& value);
    // Position of value among the options of property id, ignoring case, the
    // last match winning; MaxInt when absent.
    int GetPropOptionIndex(int id, const std::string& value);

    virtual std::uint16_t GetReportedSMBus() { return 0xFFFF; }
    virtual std::uint8_t GetFanDivisor(std::uint8_t /*fan*/) { return 1; }
    virtual bool SetFanDivisor(std::uint8_t /*fan*/, std::uint8_t /*code*/) { return false; }
    virtual void SetName(const std::string& newName);
    std::string GetDebugInfo() { return GetDebugInfoInternal(); }

    void Log(const std::string& msg, int level);
    void LogDebug(const std::string& msg) { Log(msg, 0); }

    // These let failures pass to the caller.
    void PrepareForSuspend() { PrepareForSuspendInternal(); }
    void ResumeFromSuspend() { ResumeFromSuspendInternal(); }
    void SaveInitialState() { SaveInitialStateInternal(); }
    void RestoreInitialState() { RestoreInitialStateInternal(); }

    // Read directly by other units; detection fills FAddress2, FAux2 and FAux3
    // right after adding certain sensors; nothing else writes them from outside.
    std::uint8_t FChipCode;
    TLink* FLink;  // not owned
    std::uint32_t FAddress;
    std::int32_t FAddress2 = 0;
    std::int32_t FAux2 = 0;
    std::int32_t FAux3 = 0;
    std::string FChipName = "none";
    std::string FLinkText = "none";
    std::string FDisplayName;
    std::string FBoardVendor;
    std::string FBoardProduct;
    std::string FSystemProduct;

protected:
    // Options of base ids; empty for any other id. Overrides call this for ids 26-95.
    virtual TPropStringArray GetPropOptionsInternal(int id);
    // Every class answers 0; nothing calls it.
    virtual int QueryPropInternal() { return 0; }
    // "<undefined>" for ids the sensor does not implement.
    virtual std::string GetPropValueInternal(int id);
    // Answers whether the value was stored.
    virtual bool SetPropValueInternal(int id, const std::string& value);
    // Fill one value per reading; untouched entries stay 0.
    virtual void ReadTempsInternal(std::span<double> /*values*/) {}
    virtual void ReadFansInternal(std::span<double> /*values*/) {}
    virtual void ReadPwmsInternal(std::span<double> /*values*/) {}
    virtual void ReadVoltsInternal(std::span<double> /*values*/) {}
    // Drive output index (1-based) to the raw percent; answer the duty it now holds.
    virtual double SetPwmInternal(int index, double percent);
    virtual std::string GetDebugInfoInternal() { return {}; }
    virtual void PrepareForSuspendInternal() {}
    virtual void ResumeFromSuspendInternal() {}
    virtual void SaveInitialStateInternal() {}
    virtual void RestoreInitialStateInternal() {}

    // The common end of every constructor, once the lists are sized and the
    // known readings named: names the rest, gives every reading its
    // statistics and the temperatures and fans their spike filters.
    void FinishReadingSetup();
    // Statistics owned by the sensor, for readings a driver keeps beyond the four lists.
    TValueStats* NewStats(int capacity, const std::string& name);
    // Appends a named reading with statistics "<chip name> <name>"; spikeLimit 0: no spike filter.
    void AddReading(TTreadingArray& list, const std::string& name, int capacity, double spikeLimit);
    // Makes repeated texts of one property's options unique by appending
    // " (n)", n being the option's position, to every repetition after the first.
    static void MakeOptionsUnique(TPropStringArray& options);

    TTreadingArray FTemps;
    TTreadingArray FFans;
    TTreadingArray FPwms;
    TTreadingArray FVolts;
    std::vector<std::int32_t> FTempOffsets;
    std::vector<TFanMultDiv> FFanMultDiv;
    std::vector<bool> FPwmReverse;
    TSensorLogEvent FOnLog;
    TReading FZeroReading;
    std::vector<std::int32_t> FProps;

private:
    // How one list is read: its slot, its failure line and its correction.
    struct ListRead {
        void (TSensor::*slot)(std::span<double>);
        const char* failure;  // a picture taking the failure's message when it has "%s"
        void (TSensor::*correct)(std::vector<double>&);
        const char* correctionFailure;
    };
    void sampleList(TTreadingArray& list, const ListRead& how);
    void applyOffsets(std::vector<double>& values);
    void applyMultDiv(std::vector<double>& values);
    void applyReverse(std::vector<double>& values);
    TReading readingAt(const TTreadingArray& list, int index) const;
    bool reversed(int pwmIndex) const;
    void logGetPropValueFailure(int index, const std::string& msg);

    std::vector<std::unique_ptr<TValueStats>> FOwnedStats;
};

// Constructs a sensor and then runs its AfterConstruction, as every creator must.
template <class T, class... A>
std::unique_ptr<T> CreateSensor(A&&... args) {
    auto sensor = std::make_unique<T>(std::forward<A>(args)...);
    sensor->AfterConstruction();
    return sensor;
}
