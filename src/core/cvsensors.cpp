#include "core/cvsensors.h"

#include <algorithm>
#include <exception>

#include "core/cvtext.h"

using cvformat::Format;

namespace {

std::vector<TPropInfo> BuildSensorPropInfos() {
    std::vector<std::string> names = {
        "Temperature sensor diode 1", "Temperature sensor diode 2", "Temperature sensor diode 3",
        "PWMOUT1 clock", "PWMOUT2 clock", "PWMOUT3 clock", "PWMOUT4 clock",
        "FAN1 divisor", "FAN2 divisor", "FAN3 divisor", "FAN4 divisor",
        "PWMOUT clock", "PWM 1 mode", "PWM 2 mode", "Operating mode",
        "FAN1 zone/mode", "FAN2 zone/mode", "FAN3 zone/mode", "PWM 3 mode",
        "HALT detect", "STOP GRANT disconnect", "PWM 1", "PWM 2", "FAN 1", "FAN 2"};
    for (int n = 1; n <= 20; ++n) names.push_back(Format("FAN%d mult", {n}));
    for (int n = 1; n <= 20; ++n) names.push_back(Format("FAN%d div", {n}));
    for (int n = 1; n <= 10; ++n) names.push_back(Format("Reverse PWM%.2d logic", {n}));
    for (int n = 1; n <= 20; ++n) names.push_back(Format("Temperature %d offset", {n}));
    names.insert(names.end(), {
        "PWM 1 Enable", "PWM 2 Enable", "PWM 3 Enable", "PWM 4 Enable",
        "Temp1 HI limit", "Temp2 HI limit", "PWM 4 mode", "PWM 5 mode", "FAN5 divisor",
        "BJT Offset 1", "BJT Offset 2", "BJT Offset 3", "BJT Offset 4",
        "BJT Gain 1", "BJT Gain 2", "BJT Gain 3", "BJT Gain 4",
        "FAN6 divisor", "FAN7 divisor", "FAN8 divisor",
        "PWM 1 Type", "PWM 2 Type", "PWM 3 Type", "PWM 4 Type",
        "DTS interpretation"});
    for (int n = 6; n <= 32; ++n) names.push_back(Format("PWM %d mode", {n}));
    names.push_back("PWM 5 Enable");

    std::vector<TPropInfo> rows;
    for (std::size_t i = 0; i < names.size(); ++i) rows.push_back({static_cast<std::int32_t>(i + 1), names[i]});
    return rows;
}

const TPropInfo* FindPropInfo(int id) {
    const auto& rows = SensorPropInfos();
    auto it = std::find_if(rows.begin(), rows.end(), [id](const TPropInfo& row) { return row.Id == id; });
    return it == rows.end() ? nullptr : &*it;
}

// The corrections behind the base ids 26-95.
enum class BaseKind { None, Mult, Div, Reverse, Offset };

struct BaseProp {
    BaseKind kind = BaseKind::None;
    std::size_t index = 0;
};

BaseProp ClassifyBaseProp(int id) {
    struct Range {
        BaseKind kind;
        int first, count;
    };
    static constexpr Range ranges[] = {
        {BaseKind::Mult, PropFanMultFirst, 20},
        {BaseKind::Div, PropFanDivFirst, 20},
        {BaseKind::Reverse, PropReversePwmFirst, 10},
        {BaseKind::Offset, PropTempOffsetFirst, 20},
    };
    for (const Range& r : ranges)
        if (id >= r.first && id < r.first + r.count) return {r.kind, static_cast<std::size_t>(id - r.first)};
    return {};
}

TPropStringArray NumberTexts(int first, int last) {
    TPropStringArray texts;
    for (int n = first; n <= last; ++n) texts.push_back(std::to_string(n));
    return texts;
}

std::string CurrentFailure() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown failure";
    }
}

}  // namespace

// ---- catalogue -----------------------------------------------------------------

const std::vector<TPropInfo>& SensorPropInfos() {
    static const std::vector<TPropInfo> rows = BuildSensorPropInfos();
    return rows;
}

std::string SensorPropName(int id) {
    const TPropInfo* row = FindPropInfo(id);
    return row ? row->Name : "<unknown>";
}

int SensorPropId(int id) { return FindPropInfo(id) ? id : -1; }

// ---- construction --------------------------------------------------------------

TSensor::TSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                 std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : FChipCode(chipCode),
      FLink(link),
      FAddress(address),
      FBoardVendor(std::move(boardVendor)),
      FBoardProduct(std::move(boardProduct)),
      FSystemProduct(std::move(systemProduct)),
      FOnLog(std::move(onLog)) {
    FZeroReading.Stats = NewStats(1, "Zero");
    FZeroReading.Stats->Add(0);
    if (FLink) {
        FLink->RegisterAddress(address);
        FLinkText = Trim(FLink->HostText() + " " + FLink->BusText());
    }
}

TSensor::~TSensor() = default;

void TSensor::AfterConstruction() {
    if (FDisplayName.empty())
        FDisplayName = Format("%s@$%x(on%s)", {FChipName, FAddress, FLink ? FLink->DisplayName() : std::string("none")});

    FTempOffsets.assign(FTemps.size(), 0);
    FFanMultDiv.assign(FFans.size(), TFanMultDiv{});
    FPwmReverse.assign(FPwms.size(), false);

    for (int i = 0; i < std::min(GetTempCount(), 20); ++i) AddProp(PropTempOffsetFirst + i);
    for (int i = 0; i < std::min(GetFanCount(), 20); ++i) {
        AddProp(PropFanMultFirst + i);
        AddProp(PropFanDivFirst + i);
    }
    for (int i = 0; i < std::min(GetPwmCount(), 10); ++i) AddProp(PropReversePwmFirst + i);
}

TValueStats* TSensor::NewStats(int capacity, const std::string& name) {
    FOwnedStats.push_back(std::make_unique<TValueStats>(capacity, name));
    return FOwnedStats.back().get();
}

void TSensor::AddReading(TTreadingArray& list, const std::string& name, int capacity, double spikeLimit) {
    TReading r{name, NewStats(capacity, FChipName + " " + name)};
    if (spikeLimit > 0) r.Stats->SetSpikeFilter(nullptr, spikeLimit);
    list.push_back(r);
}

void TSensor::FinishReadingSetup() {
    const bool singleTemp = FTemps.size() == 1;
    if (singleTemp) FTemps[0].Name = "Temp";

    struct ListSetup {
        TTreadingArray& list;
        const char* namePicture;  // for readings the family left unnamed
        int capacity;
        double spikeLimit;  // 0: no spike filter
    };
    const ListSetup setups[] = {
        {FTemps, "Temp%d", 8, 125.0},
        {FFans, "Fan%d", 10, 8500.0},
        {FPwms, "Pwm%d", 3, 0},
        {FVolts, nullptr, 8, 0},
    };
    for (const ListSetup& s : setups) {
        for (std::size_t i = 0; i < s.list.size(); ++i) {
            TReading& r = s.list[i];
            if (r.Name.empty() && s.namePicture) r.Name = Format(s.namePicture, {static_cast<int>(i + 1)});
            const bool isSingleTemp = singleTemp && &s.list == &FTemps;
            r.Stats = NewStats(s.capacity, isSingleTemp ? r.Name : FChipName + " " + r.Name);
            if (s.spikeLimit > 0) r.Stats->SetSpikeFilter(nullptr, s.spikeLimit);
        }
    }
}

// ---- readings ------------------------------------------------------------------

TReading TSensor::readingAt(const TTreadingArray& list, int index) const {
    if (index < 1 || index > static_cast<int>(list.size())) return FZeroReading;
    return list[index - 1];
}

bool TSensor::reversed(int pwmIndex) const {
    return pwmIndex >= 0 && static_cast<std::size_t>(pwmIndex) < FPwmReverse.size() && FPwmReverse[pwmIndex];
}

void TSensor::sampleList(TTreadingArray& list, const ListRead& how) {
    std::vector<double> values(list.size(), 0.0);
    if (!values.empty()) {
        try {
            (this->*how.slot)(values);
        } catch (...) {
            const std::string msg = CurrentFailure();
            const std::string picture = how.failure;
            Log(picture.find("%s") != std::string::npos ? Format(picture, {msg}) : picture, 1);
        }
    }
    if (how.correct) {
        try {
            (this->*how.correct)(values);
        } catch (...) {
            Log(how.correctionFailure, 1);
        }
    }
    for (std::size_t i = 0; i < list.size(); ++i) list[i].Stats->Add(static_cast<float>(values[i]));
}

void TSensor::applyOffsets(std::vector<double>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) values[i] += FTempOffsets.at(i);
}

void TSensor::applyMultDiv(std::vector<double>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        const TFanMultDiv& md = FFanMultDiv.at(i);
        if (md.Div != 0) values[i] = values[i] * md.Mult / md.Div;
    }
}

void TSensor::applyReverse(std::vector<double>& values) {
    for (std::size_t i = 0; i < values.size(); ++i)
        if (FPwmReverse.at(i)) values[i] = 100 - values[i];
}

void TSensor::ReadTemps() {
    sampleList(FTemps, {&TSensor::ReadTempsInternal, "error in READTEMPSINTERNAL (%s)", &TSensor::applyOffsets,
                        "error in READTEMPSINTERNAL (applying offsets)"});
}

void TSensor::ReadFans() {
    sampleList(FFans, {&TSensor::ReadFansInternal, "error in READFANSINTERNAL", &TSensor::applyMultDiv,
                       "error in READFANSINTERNAL (applying multipliers and divisors)"});
}

void TSensor::ReadPwms() {
    sampleList(FPwms, {&TSensor::ReadPwmsInternal, "error in READPWMSINTERNAL", &TSensor::applyReverse,
                       "error in READPWMSINTERNAL (applying reverse)"});
}

void TSensor::ReadVolts() {
    sampleList(FVolts, {&TSensor::ReadVoltsInternal, "error in READVOLTSINTERNAL", nullptr, nullptr});
}

bool TSensor::SetPwm(int index, double percent, bool logFailure) {
    if (index < 1 || index > GetPwmCount()) return false;
    const bool rev = reversed(index - 1);
    if (rev) percent = 100 - percent;
    double duty = 0;
    try {
        duty = SetPwmInternal(index, percent);
    } catch (...) {
        if (logFailure) Log(Format("error in SETPWMINTERNAL (%s)", {CurrentFailure()}), 1);
        return false;
    }
    if (rev) duty = 100 - duty;
    FPwms[index - 1].Stats->Add(static_cast<float>(duty));
    return true;
}

double TSensor::SetPwmInternal(int index, double /*percent*/) {
    const TValueStats* stats = FPwms.at(index - 1).Stats;
    const double held = stats ? stats->Last() : 0;
    return reversed(index - 1) ? 100 - held : held;
}

// ---- properties ----------------------------------------------------------------

int TSensor::GetPropId(int index) {
    if (index < 0 || index >= GetPropCount()) {
        Log(Format("Bad Property Id INDEX (%d)", {index}), 1);
        return -1;
    }
    return SensorPropId(FProps[index]);
}

std::string TSensor::GetPropName(int index) {
    if (index < 0 || index >= GetPropCount()) {
        Log(Format("Bad Property Name INDEX (%d)", {index}), 1);
        return "<unknown>";
    }
    return SensorPropName(FProps[index]);
}

TPropStringArray TSensor::GetPropOptions(int index) {
    if (index < 0 || index >= GetPropCount()) {
        Log(Format("Bad Property Options INDEX (%d)", {index}), 1);
        return {};
    }
    return GetPropOptionsInternal(FProps[index]);
}

std::string TSensor::GetPropValue(int index) {
    if (index < 0 || index >= GetPropCount()) return "<error>";
    try {
        return GetPropValueInternal(FProps[index]);
    } catch (...) {
        logGetPropValueFailure(index, CurrentFailure());
    }
    return "<error>";
}

void TSensor::logGetPropValueFailure(int index, const std::string& msg) {
    Log(Format("Error in GETPROPVALUE (index=%d) (msg=%s)", {index, msg}), 1);
    Log(Format("Error in GETPROPVALUE (%s)", {FDisplayName}), 1);
    for (std::size_t i = 0; i < FProps.size(); ++i)
        Log(Format("Error in GETPROPVALUE (FProps[%d]=%d)", {static_cast<int>(i), FProps[i]}), 1);
}

bool TSensor::SetPropValue(int index, const std::string& value) {
    if (index < 0 || index >= GetPropCount()) {
        Log(Format("Bad Property Value INDEX (%d) (%s)", {index, value}), 1);
        return false;
    }
    return SetPropValueInternal(FProps[index], value);
}

int TSensor::GetPropOptionIndex(int id, const std::string& value) {
    const TPropStringArray options = GetPropOptionsInternal(id);
    int found = MaxInt;
    for (std::size_t i = 0; i < options.size(); ++i)
        if (SameText(options[i], value)) found = static_cast<int>(i);
    return found;
}

TPropStringArray TSensor::GetPropOptionsInternal(int id) {
    switch (ClassifyBaseProp(id).kind) {
        case BaseKind::Offset: return NumberTexts(-127, 127);
        case BaseKind::Mult:
        case BaseKind::Div: return NumberTexts(1, 20);
        case BaseKind::Reverse: return {"OFF", "ON"};
        case BaseKind::None: break;
    }
    return {};
}

std::string TSensor::GetPropValueInternal(int id) {
    const BaseProp p = ClassifyBaseProp(id);
    switch (p.kind) {
        case BaseKind::Offset:
            if (p.index < FTempOffsets.size()) return std::to_string(FTempOffsets[p.index]);
            break;
        case BaseKind::Mult:
            if (p.index < FFanMultDiv.size()) return std::to_string(FFanMultDiv[p.index].Mult);
            break;
        case BaseKind::Div:
            if (p.index < FFanMultDiv.size()) return std::to_string(FFanMultDiv[p.index].Div);
            break;
        case BaseKind::Reverse:
            if (p.index < FPwmReverse.size()) return FPwmReverse[p.index] ? "ON" : "OFF";
            break;
        case BaseKind::None: break;
    }
    return "<undefined>";
}

bool TSensor::SetPropValueInternal(int id, const std::string& value) {
    const BaseProp p = ClassifyBaseProp(id);
    if (p.kind == BaseKind::None) return false;
    const int k = GetPropOptionIndex(id, value);
    if (k == MaxInt) return false;
    // A base id beyond this sensor's readings stores nothing.
    switch (p.kind) {
        case BaseKind::Offset:
            if (p.index >= FTempOffsets.size()) return false;
            FTempOffsets[p.index] = k - 127;
            return true;
        case BaseKind::Mult:
            if (p.index >= FFanMultDiv.size()) return false;
            FFanMultDiv[p.index].Mult = k + 1;
            return true;
        case BaseKind::Div:
            if (p.index >= FFanMultDiv.size()) return false;
            FFanMultDiv[p.index].Div = k + 1;
            return true;
        case BaseKind::Reverse:
            if (p.index >= FPwmReverse.size()) return false;
            FPwmReverse[p.index] = (k == 1);
            return true;
        case BaseKind::None: break;
    }
    return false;
}

void TSensor::MakeOptionsUnique(TPropStringArray& options) {
    const TPropStringArray original = options;
    for (std::size_t i = 1; i < original.size(); ++i) {
        const bool repeated = std::any_of(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(i),
                                          [&](const std::string& earlier) { return SameText(earlier, original[i]); });
        if (repeated) options[i] += Format(" (%d)", {static_cast<int>(i)});
    }
}

// ---- names and logging ---------------------------------------------------------

void TSensor::SetName(const std::string& newName) {
    Log(Format("ERROR: Can't change sensor name from %s to %s ", {FChipName, newName}), 1);
}

void TSensor::Log(const std::string& msg, int level) {
    if (FOnLog) FOnLog(*this, msg, level);
}
