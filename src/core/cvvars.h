#pragma once
// What every part of the program shares: the debug trace, the program folder,
// the time stamp of the current sample, the global option records, the proxy
// values, small string and file helpers, and the reading statistics.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/cvdatetime.h"
#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "hw/cvbuslocks.h"  // the bus mutexes
#include "hw/cvdriver.h"    // the driver start flags
#include "platform/platform.h"

// ---- globals ---------------------------------------------------------------

struct TLogOptions {
    bool Enabled = false;
    std::string DecSep = ".";  // may be longer than one character
    int MaxDecs = 2;
    int MaxDays = 5;
    bool AddHeader = true;
};

struct TProxySettings {
    std::string ProxyHost;
    std::string ProxyPort;
    std::string ProxyUsername;
    std::string ProxyPassword;
    bool UseProxy = false;
};

extern TDateTime SampleTime;
extern bool HasTSC;
extern cvformat::FormatSettings InvariantFormat;
// The user's date and time pictures with "-" and ":" as separators and the
// invariant number separators: times in reports that must read alike.
extern platform::LocaleInfo InvariantLocale;
extern TLogOptions LogOptions;
extern TProxySettings ProxySettings;
extern std::int32_t OriginalCfgId;
// The lines of the SMBus scan dialog's list, joined by CR LF, for the report.
extern std::string SMBusScanResult;

// Unit start-up and shut-down, run once by the program (and by test fixtures)
// with a platform installed.
void InitializeCvvars();
void FinalizeCvvars();

// ---- helpers ---------------------------------------------------------------


// Lower-case name of a Variant type code ("integer", "olestr", ...), or
// "unknown($%.8x)".
std::string VariantTypeName(std::uint16_t typeCode);

// The one-byte key of the scrambled literals' first character.
constexpr unsigned char DescrambleKey = 0x5A;
std::string DescrambleString(const std::string& s);
// For Windows names (registry values, system folders), not our own files.
std::string AddBackslash(const std::string& s);
inline std::string AppendBackslash(const std::string& s) { return AddBackslash(s); }
std::string GetWindowsDir();
bool WildcardMatch(const std::string& mask, const std::string& text);

// ---- reading statistics ----------------------------------------------------

struct TStatsWindowEntry {
    float Value = 0;
    TDateTime Time = 0;
};

class TValueStats;
using TSpikeEvent = std::function<void(TValueStats& sender, double value)>;

class TValueStats {
public:
    static constexpr int WindowSize = 256;

    TValueStats(int capacity, std::string name);

    void Reset();
    void SetSpikeFilter(TSpikeEvent onSpike, double limit);
    void Add(float value);

    double Last() const;
    double Previous() const;
    double Mean() const;
    double Variance() const;
    double Trend() const;
    // K = 1 is the oldest entry of the window, K = FWindowCount the newest.
    float WindowValue(int k) const;
    TDateTime WindowTime(int k) const;

    // Read directly by other units; only the object writes them.
    double FMin = 1e90;
    double FMax = -1e90;
    int FCount = 0;
    std::string FName;
    int FWindowCount = 0;
    float FWindowMin = 1e30f;
    float FWindowMax = -1e30f;

private:
    int windowIndex(int k) const;
    void rescanWindow();
    void accept(float value);
    void addToWindow(float value);
    void recomputeSums();

    double FSum = 0;
    double FSumSq = 0;
    int FCapacity;
    std::vector<double> FBuffer;
    int FPos = 0;
    double FSpikeLimit = 0;
    int FSpikeCount = 0;
    bool FSpikeFilter = false;
    std::array<TStatsWindowEntry, WindowSize> FWindow{};  // index 0 holds entry 1
    int FWindowPos = 0;
    TSpikeEvent FOnSpike;
};
