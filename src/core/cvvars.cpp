#include "core/cvvars.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/cvtext.h"

TDateTime SampleTime = 0;
bool HasTSC = false;
cvformat::FormatSettings InvariantFormat = cvformat::Invariant();
platform::LocaleInfo InvariantLocale;
TLogOptions LogOptions;
TProxySettings ProxySettings;
std::int32_t OriginalCfgId = 0;
std::string SMBusScanResult;

namespace {


// Reads host and port from one registry key; false when the key is missing.
bool readProxyKey(const std::string& key, TProxySettings& proxy) {
    platform::Registry& registry = platform::current().registry();
    if (!registry.keyExists(key)) return false;
    proxy.ProxyHost = registry.readString(key, "EDProxy_Text").value_or("");
    proxy.ProxyPort = registry.readString(key, "EDProxyPort_Text").value_or("");
    return true;
}

void readProxySettings() {
    ProxySettings = {};
    readProxyKey("\\Software\\Caldavor\\TDlgPost", ProxySettings);
    if (ProxySettings.ProxyHost.empty() && ProxySettings.ProxyPort.empty())
        readProxyKey("\\Software\\Caldavor\\TDlgGetConfig", ProxySettings);
    ProxySettings.UseProxy = !ProxySettings.ProxyHost.empty() && !ProxySettings.ProxyPort.empty();
}

}  // namespace

void InitializeCvvars() {
    platform::Platform& machine = platform::current();
    const platform::LocaleInfo locale = machine.locale();

    DriverStartFlags = {};
    SampleTime = Now();
    InitializeBusLocks();
    ProgramDir = machine.programDir();
    HasTSC = false;
    InvariantFormat = cvformat::Invariant();
    InvariantLocale = locale;
    InvariantLocale.decimalSeparator = InvariantFormat.decimalSeparator;
    InvariantLocale.thousandSeparator = InvariantFormat.thousandSeparator;
    InvariantLocale.dateSeparator = '-';
    InvariantLocale.timeSeparator = ':';
    LogOptions = {};
    LogOptions.DecSep = std::string(1, locale.decimalSeparator);
    readProxySettings();
    OriginalCfgId = 0;
    SMBusScanResult.clear();

    std::remove((ProgramDir + DebugLogName).c_str());
    WriteDebugLog("DEBUG FILE INITIALIZED");
}

void FinalizeCvvars() { FinalizeBusLocks(); }

std::string VariantTypeName(std::uint16_t typeCode) {
    static const struct {
        std::uint16_t code;
        const char* name;
    } Names[] = {
        {0x0000, "empty"},    {0x0001, "null"},     {0x0002, "smallint"}, {0x0003, "integer"},  {0x0004, "single"},
        {0x0005, "double"},   {0x0006, "currency"}, {0x0007, "date"},     {0x0008, "olestr"},   {0x0009, "dispatch"},
        {0x000A, "error"},    {0x000B, "boolean"},  {0x000C, "variant"},  {0x000D, "unknown"},  {0x0010, "shortint"},
        {0x0011, "byte"},     {0x0012, "word"},     {0x0013, "longword"}, {0x0014, "int64"},    {0x0048, "strarg"},
        {0x0100, "string"},   {0x0101, "any"},      {0x0FFF, "typemask"}, {0x2000, "array"},    {0x2011, "bytearray"},
        {0x4000, "byref"},
    };
    for (const auto& entry : Names)
        if (entry.code == typeCode) return entry.name;
    return cvformat::Format("unknown($%.8x)", {typeCode}, cvformat::Invariant());
}

std::string DescrambleString(const std::string& s) {
    std::string result = s;
    if (result.empty()) return result;
    // Backwards, so each character is combined with its neighbour as it was
    // before this pass.
    for (std::size_t i = result.size() - 1; i >= 1; --i) result[i] = static_cast<char>(result[i] ^ result[i - 1]);
    result[0] = static_cast<char>(result[0] ^ DescrambleKey);
    return result;
}

std::string AddBackslash(const std::string& s) {
    if (!s.empty() && s.back() == '\\') return s;
    return s + '\\';
}

std::string GetWindowsDir() { return platform::current().windowsDir(); }

namespace {

bool sameChar(char a, char b) { return LowerChar(a) == LowerChar(b); }

bool wildcardMatchFrom(const std::string& mask, std::size_t m, const std::string& text, std::size_t t) {
    while (m < mask.size()) {
        if (t == text.size()) return mask.find_first_not_of('*', m) == std::string::npos;
        const char c = mask[m];
        if (c == '*') {
            if (m + 1 == mask.size()) return true;
            // The character after the star is taken literally.
            const char anchor = mask[m + 1];
            for (std::size_t p = t; p < text.size(); ++p)
                if (sameChar(text[p], anchor) && wildcardMatchFrom(mask, m + 2, text, p + 1)) return true;
            return false;
        }
        if (c != '?' && !sameChar(c, text[t])) return false;
        ++m;
        ++t;
    }
    return t == text.size();
}

}  // namespace

bool WildcardMatch(const std::string& mask, const std::string& text) { return wildcardMatchFrom(mask, 0, text, 0); }

// ---- TValueStats -----------------------------------------------------------

TValueStats::TValueStats(int capacity, std::string name)
    : FName(std::move(name)), FCapacity(capacity < 1 ? 1 : capacity), FBuffer(static_cast<std::size_t>(FCapacity)) {
    Reset();
}

void TValueStats::Reset() {
    FMin = 1e90;
    FMax = -1e90;
    FCount = 0;
    FPos = 0;
    FSum = 0;
    FSumSq = 0;
    FSpikeCount = 0;
    FWindowCount = 0;
    FWindowPos = 0;
    FWindowMin = 1e30f;
    FWindowMax = -1e30f;
}

void TValueStats::SetSpikeFilter(TSpikeEvent onSpike, double limit) {
    FSpikeLimit = limit;
    FSpikeCount = 0;
    FSpikeFilter = true;
    FOnSpike = std::move(onSpike);
}

void TValueStats::Add(float value) {
    if (FSpikeFilter && std::fabs(value) > FSpikeLimit && FSpikeCount == 0) {
        FSpikeCount = 1;
        if (FOnSpike) FOnSpike(*this, value);
    } else {
        accept(value);
    }
    addToWindow(value);
}

void TValueStats::accept(float value) {
    FSpikeCount = 0;
    const double v = value;
    if (FCount < FCapacity) {
        ++FCount;
    } else {
        const double old = FBuffer[static_cast<std::size_t>(FPos)];
        FSum -= old;
        FSumSq -= old * old;
    }
    FSum += v;
    FSumSq += v * v;
    // An infinite sample would hold an extreme for the rest of the run.
    if (std::isfinite(v)) {
        FMin = std::min(FMin, v);
        FMax = std::max(FMax, v);
    }
    FBuffer[static_cast<std::size_t>(FPos)] = v;
    FPos = (FPos + 1) % FCapacity;
    // A non-finite sample would poison the running sums for good; recount
    // them from the held samples until it has left the ring.
    if (!std::isfinite(FSum) || !std::isfinite(FSumSq)) recomputeSums();
}

void TValueStats::recomputeSums() {
    FSum = 0;
    FSumSq = 0;
    for (int i = 0; i < FCount; ++i) {
        const double v = FBuffer[static_cast<std::size_t>(i)];
        FSum += v;
        FSumSq += v * v;
    }
}

void TValueStats::addToWindow(float value) {
    if (FWindowCount < WindowSize) ++FWindowCount;
    FWindowPos = FWindowPos < FWindowCount ? FWindowPos + 1 : 1;
    TStatsWindowEntry& entry = FWindow[static_cast<std::size_t>(FWindowPos - 1)];
    const float old = entry.Value;
    entry = {value, SampleTime};
    if (value < FWindowMin) FWindowMin = value;
    if (value > FWindowMax) FWindowMax = value;
    if (old == FWindowMin || old == FWindowMax) rescanWindow();
}

void TValueStats::rescanWindow() {
    // Not-a-number entries are passed over so they cannot stick as extremes.
    FWindowMin = 1e30f;
    FWindowMax = -1e30f;
    bool first = true;
    for (int i = 0; i < FWindowCount; ++i) {
        const float v = FWindow[static_cast<std::size_t>(i)].Value;
        if (std::isnan(v)) continue;
        if (first || v < FWindowMin) FWindowMin = v;
        if (first || v > FWindowMax) FWindowMax = v;
        first = false;
    }
}

double TValueStats::Last() const {
    if (FCount == 0) return 0;
    return FBuffer[static_cast<std::size_t>(FPos == 0 ? FCapacity - 1 : FPos - 1)];
}

double TValueStats::Previous() const {
    if (FCount == 0) return 0;
    if (FCount < 2) return Last();
    const int index = FPos >= 2 ? FPos - 2 : FCapacity - 2 + FPos;
    return FBuffer[static_cast<std::size_t>(index)];
}

double TValueStats::Mean() const { return FCount == 0 ? 0 : FSum / FCount; }

double TValueStats::Variance() const {
    if (FCount == 0) return 0;
    const double mean = Mean();
    return FSumSq / FCount - mean * mean;
}

double TValueStats::Trend() const {
    const int n = FCount;
    if (n == 0) return 0;
    if (n == 1) return Last();

    // Each step checks its own result, traces a failure and lets the next
    // step run with the failed value taken as 0.
    auto checked = [](double value, const char* step) {
        if (std::isfinite(value)) return value;
        WriteDebugLog(step);
        return 0.0;
    };

    const double xm = (n + 1) / 2.0;
    const double ym = Mean();
    double sumDx2 = 0;
    for (int x = 1; x <= n; ++x) sumDx2 += (x - xm) * (x - xm);
    const double sx = checked(std::sqrt(sumDx2 / n), "DEBUG x.1");
    const double vy = checked(Variance(), "DEBUG x.2");

    double r = 0;
    if (vy != 0) {
        const int start = n < FCapacity ? 0 : FPos;
        for (int x = 1; x <= n; ++x) {
            const double y = FBuffer[static_cast<std::size_t>((start + x - 1) % n)];
            const double term = ((y - ym) / vy) * ((x - xm) / sx);
            if (std::isfinite(term))
                r += term;
            else
                WriteDebugLog("DEBUG x.3");
        }
        r /= n;
    }
    const double slope = checked(r * vy / sx, "DEBUG x.4");
    const double intercept = ym - slope * xm;
    return checked(slope * (n + 1) + intercept, "DEBUG x.5");
}

int TValueStats::windowIndex(int k) const {
    int index = k + FWindowPos - FWindowCount;
    if (index < 1) index += FWindowCount;
    if (index > FWindowCount) index -= FWindowCount;
    return index - 1;
}

float TValueStats::WindowValue(int k) const {
    if (k < 1 || k > FWindowCount) return 0;
    return FWindow[static_cast<std::size_t>(windowIndex(k))].Value;
}

TDateTime TValueStats::WindowTime(int k) const {
    if (k < 1 || k > FWindowCount) return 0;
    return FWindow[static_cast<std::size_t>(windowIndex(k))].Time;
}
