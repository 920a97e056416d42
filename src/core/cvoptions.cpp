#include "core/cvoptions.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>
#include <vector>

#include "core/cvcipher.h"
#include "base/cvformat.h"
#include "core/cvsafefile.h"
#include "core/cvtext.h"
#include "core/cvvars.h"
#include "core/txtunit.h"

namespace {
// The file holds whole numbers only; it reads alike under every locale.
std::string FormatInvariant(std::string_view picture, std::initializer_list<cvformat::FormatArg> args) {
    return cvformat::Format(picture, args, cvformat::Invariant());
}
}  // namespace

const char* const OptionsFileName = "caldavorparams.cfg";
std::vector<TMailProfile> MailProfileList;

namespace {

constexpr char FieldEnd = '\x03';
constexpr char RecordEnd = '\x04';
constexpr const char* LineEnd = "\r\n";
constexpr std::uint16_t TxtBufferSize = 10240;
constexpr std::uint16_t MaxLineLength = 10000;

int IntegerOr(const std::string& text, int fallback) { return ParseConfigInteger(text).value_or(fallback); }

// Reads fields ended by a separator from a text.
class TFieldReader {
public:
    explicit TFieldReader(std::string_view text) : rest_(text) {}
    std::optional<std::string> Next(char end) {
        const auto pos = rest_.find(end);
        if (pos == std::string_view::npos) return std::nullopt;
        std::string field(rest_.substr(0, pos));
        rest_.remove_prefix(pos + 1);
        return field;
    }
    std::string_view Rest() const { return rest_; }

private:
    std::string_view rest_;
};

// ---- secret values ----------------------------------------------------------

std::string ProxyPlainText(const TProxySettings& p) {
    const std::string sep(1, FieldEnd);
    return FormatInvariant("%d", {p.UseProxy ? 1 : 0}) + sep + p.ProxyHost + sep + p.ProxyPort + sep + p.ProxyUsername + sep +
           p.ProxyPassword;
}

void ApplyProxyPlainText(const std::string& plain) {
    if (plain.size() < 2 || plain[1] != FieldEnd) return;
    TFieldReader reader(std::string_view(plain).substr(2));
    TProxySettings proxy;
    proxy.UseProxy = plain[0] == '1';
    for (auto* field : {&proxy.ProxyHost, &proxy.ProxyPort, &proxy.ProxyUsername}) {
        auto text = reader.Next(FieldEnd);
        if (!text) return;
        *field = *text;
    }
    proxy.ProxyPassword = reader.Next(FieldEnd).value_or(std::string(reader.Rest()));
    ProxySettings = proxy;
}

const std::array<std::string TMailProfile::*, 7> MailHeadFields{
    &TMailProfile::ProfileName, &TMailProfile::SmtpUser, &TMailProfile::SmtpPassword, &TMailProfile::SmtpHost,
    &TMailProfile::SmtpPort,    &TMailProfile::MailFrom, &TMailProfile::MailTo};
const std::array<bool TMailProfile::*, 2> MailFlagFields{&TMailProfile::AutoTLS, &TMailProfile::PopBeforeSmtp};
const std::array<std::string TMailProfile::*, 4> MailTailFields{&TMailProfile::PopUser, &TMailProfile::PopPassword,
                                                                 &TMailProfile::PopHost, &TMailProfile::PopPort};

std::string MailProfilesPlainText(const std::vector<TMailProfile>& profiles) {
    std::string out;
    for (const auto& profile : profiles) {
        for (auto field : MailHeadFields) out += profile.*field + FieldEnd;
        for (auto flag : MailFlagFields) out += FormatInvariant("%d", {profile.*flag ? 1 : 0}) + FieldEnd;
        for (auto field : MailTailFields) out += profile.*field + FieldEnd;
        out += RecordEnd;
    }
    return out + RecordEnd;
}

// nullopt when the text is damaged anywhere: the old list then stays.
std::optional<std::vector<TMailProfile>> ParseMailProfiles(std::string_view text) {
    std::vector<TMailProfile> profiles;
    TFieldReader reader(text);
    while (!reader.Rest().empty() && reader.Rest() != std::string_view(&RecordEnd, 1)) {
        TMailProfile profile;
        for (auto field : MailHeadFields) {
            auto value = reader.Next(FieldEnd);
            if (!value) return std::nullopt;
            profile.*field = *value;
        }
        for (auto flag : MailFlagFields) {
            auto value = reader.Next(FieldEnd);
            if (!value || (*value != "0" && *value != "1")) return std::nullopt;
            profile.*flag = *value == "1";
        }
        for (auto field : MailTailFields) {
            auto value = reader.Next(FieldEnd);
            if (!value) return std::nullopt;
            profile.*field = *value;
        }
        if (!reader.Next(RecordEnd)) return std::nullopt;
        profiles.push_back(std::move(profile));
    }
    return profiles;
}

// ---- the keys ---------------------------------------------------------------

enum class TGroup {
    Plain,
    Clock,        // applied in pass 1 only; kept from the old file unless saved with the clock
    ClockUsable,  // like Clock, written only while the clock generator is usable
    Xap,          // applied when the xAP sender exists
    ReadOnly,     // read, never written
};

struct TReadState {
    const TOptionsContext& C;
};

struct TWriteState {
    const TOptionsContext& C;
    TClockSettings Clock;
    TXapSettings Xap;
};

struct TKey {
    std::string_view Key;
    TGroup Group;
    void (*Read)(const TReadState&, const std::string& value);
    std::string (*Write)(const TWriteState&);
};

template <bool TOptions::*Field>
TKey OptionBool(std::string_view key) {
    return {key, TGroup::Plain, [](const TReadState& s, const std::string& v) { s.C.Options.*Field = ParseConfigBoolean(v); },
            [](const TWriteState& s) { return BoolToTrueFalse(s.C.Options.*Field); }};
}

template <int TOptions::*Field, int Fallback>
TKey OptionInt(std::string_view key) {
    return {key, TGroup::Plain, [](const TReadState& s, const std::string& v) { s.C.Options.*Field = IntegerOr(v, Fallback); },
            [](const TWriteState& s) { return FormatInvariant("%d", {s.C.Options.*Field}); }};
}

template <std::uint32_t TOptions::*Field, std::uint32_t Fallback>
TKey OptionColour(std::string_view key) {
    return {key, TGroup::Plain,
            [](const TReadState& s, const std::string& v) {
                const auto value = ParseConfigInteger(v);
                s.C.Options.*Field = value ? static_cast<std::uint32_t>(*value) : Fallback;
            },
            [](const TWriteState& s) { return FormatInvariant("$%.2x", {s.C.Options.*Field}); }};
}

template <bool TScanFlags::*Field>
TKey ScanFlag(std::string_view key, TGroup group) {
    return {key, group, [](const TReadState& s, const std::string& v) { s.C.ScanFlags.*Field = ParseConfigBoolean(v); },
            [](const TWriteState& s) { return BoolToTrueFalse(s.C.ScanFlags.*Field); }};
}

template <std::string TClockSettings::*Field, TClockList List>
TKey ClockEntry(std::string_view key, TGroup group) {
    return {key, group, [](const TReadState& s, const std::string& v) { s.C.Clock->SelectEntry(List, v); },
            [](const TWriteState& s) { return s.Clock.*Field; }};
}

template <int TClockSettings::*Field, TClockThreshold Which, int Fallback>
TKey ClockThreshold(std::string_view key) {
    return {key, TGroup::ClockUsable,
            [](const TReadState& s, const std::string& v) { s.C.Clock->SetThreshold(Which, IntegerOr(v, Fallback)); },
            [](const TWriteState& s) { return FormatInvariant("%d", {s.Clock.*Field}); }};
}

// The stored copy always takes the value; the sender only once it exists.
template <typename Apply>
void ReadXap(const TReadState& s, Apply apply) {
    auto& stored = s.C.Options.StoredXap;
    if (!stored) stored.emplace();
    apply(*stored);
    if (s.C.Xap) {
        auto settings = s.C.Xap->Settings();
        apply(settings);
        s.C.Xap->SetSettings(settings);
    }
}

template <std::string TXapSettings::*Field>
TKey XapText(std::string_view key) {
    return {key, TGroup::Xap,
            [](const TReadState& s, const std::string& v) { ReadXap(s, [&](TXapSettings& x) { x.*Field = v; }); },
            [](const TWriteState& s) { return s.Xap.*Field; }};
}

void ReadLanguage(const TReadState& s, const std::string& value) {
    if (s.C.Language) {
        try {
            s.C.Language->SetLanguage(value);
        } catch (const ELanguageError& e) {
            WriteDebugLog(FormatInvariant("LOADPARAMS : language not set (%s)", {e.what()}));
            return;
        }
    }
    s.C.Options.Language = value;
}

void ReadSecret(const std::string& value, void (*apply)(const std::string& plain)) {
    if (auto plain = DecryptOptionValue(value)) apply(*plain);
}

// In the order the file is written.
const std::vector<TKey>& Keys() {
    static const std::vector<TKey> keys{
        OptionInt<&TOptions::TrayFontSize, 0>("TrayFontSize="),
        OptionBool<&TOptions::NoMoreTip0001>("NoMoreTip0001="),
        OptionBool<&TOptions::NoMoreTip0002>("NoMoreTip0002="),
        OptionBool<&TOptions::NoMoreTip0003>("NoMoreTip0003="),
        OptionBool<&TOptions::NoMoreTip0004>("NoMoreTip0004="),
        OptionBool<&TOptions::NoMoreTip0005>("NoMoreTip0005="),
        OptionBool<&TOptions::FullOnExit>("FullOnExit="),
        OptionBool<&TOptions::MinimizeOnClose>("MinimizeOnClose="),
        OptionInt<&TOptions::FanDelta, 10>("FanDelta="),
        OptionBool<&TOptions::UseCelsius>("UseCelsius="),
        OptionBool<&TOptions::DebugMode>("DebugMode="),
        ScanFlag<&TScanFlags::DoSummaryLogScan>("DoSummaryLogScan=", TGroup::Plain),
        OptionBool<&TOptions::DellFans>("DellFans="),
        OptionBool<&TOptions::UseISA>("UseISA="),
        OptionBool<&TOptions::UseSMB>("UseSMB="),
        OptionBool<&TOptions::StartupHide>("StartupHide="),
        OptionBool<&TOptions::ShowStaticIcon>("ShowStaticIcon="),
        {"LastDetect=", TGroup::Plain, [](const TReadState& s, const std::string& v) { s.C.Options.LastDetect = v; },
         [](const TWriteState& s) { return s.C.Options.LastDetect; }},
        ClockEntry<&TClockSettings::Vendor, TClockList::Vendor>("CLKMBVendor=", TGroup::Clock),
        ClockEntry<&TClockSettings::Model, TClockList::Model>("CLKMBModel=", TGroup::Clock),
        ClockEntry<&TClockSettings::Low, TClockList::Low>("CLKLow=", TGroup::ClockUsable),
        ClockEntry<&TClockSettings::High, TClockList::High>("CLKHigh=", TGroup::ClockUsable),
        ClockThreshold<&TClockSettings::LowCPUUsage, TClockThreshold::LowCPUUsage, 10>("LowCPUUsage="),
        ClockThreshold<&TClockSettings::HighCPUUsage, TClockThreshold::HighCPUUsage, 40>("HighCPUUsage="),
        ClockThreshold<&TClockSettings::LowCPUTime, TClockThreshold::LowCPUTime, 10>("LowCPUTime="),
        ClockThreshold<&TClockSettings::HighCPUTime, TClockThreshold::HighCPUTime, 4>("HighCPUTime="),
        {"AutoClockSet=", TGroup::ClockUsable,
         [](const TReadState& s, const std::string& v) { s.C.Clock->SetAutoClockSet(ParseConfigBoolean(v)); },
         [](const TWriteState& s) { return BoolToTrueFalse(s.Clock.AutoClockSet); }},
        OptionColour<&TOptions::CLIconBack, 0xFFFFFF>("CLIconBack="),
        OptionColour<&TOptions::CLIconText, 0>("CLIconText="),
        {"Language=", TGroup::Plain, ReadLanguage, [](const TWriteState& s) { return s.C.Options.Language; }},
        {"LogEnabled=", TGroup::Plain, [](const TReadState&, const std::string& v) { LogOptions.Enabled = ParseConfigBoolean(v); },
         [](const TWriteState&) { return BoolToTrueFalse(LogOptions.Enabled); }},
        {"LogAddHeader=", TGroup::Plain,
         [](const TReadState&, const std::string& v) { LogOptions.AddHeader = ParseConfigBoolean(v); },
         [](const TWriteState&) { return BoolToTrueFalse(LogOptions.AddHeader); }},
        {"LogDecSep=", TGroup::Plain, [](const TReadState&, const std::string& v) { LogOptions.DecSep = v; },
         [](const TWriteState&) { return std::string(LogOptions.DecSep); }},
        {"LogMaxDays=", TGroup::Plain, [](const TReadState&, const std::string& v) { LogOptions.MaxDays = IntegerOr(v, 5); },
         [](const TWriteState&) { return FormatInvariant("%d", {LogOptions.MaxDays}); }},
        {"LogMaxDecs=", TGroup::Plain, [](const TReadState&, const std::string& v) { LogOptions.MaxDecs = IntegerOr(v, 2); },
         [](const TWriteState&) { return FormatInvariant("%d", {LogOptions.MaxDecs}); }},
        OptionBool<&TOptions::AutoFanSpeed>("AutoFanSpeed="),
        OptionBool<&TOptions::AdvFanSpeed>("AdvFanSpeed="),
        {"InternetProxy=", TGroup::Plain, [](const TReadState&, const std::string& v) { ReadSecret(v, ApplyProxyPlainText); },
         [](const TWriteState&) { return EncryptOptionValue(ProxyPlainText(ProxySettings)); }},
        {"MailProfiles=", TGroup::Plain,
         [](const TReadState&, const std::string& v) {
             ReadSecret(v, [](const std::string& plain) {
                 if (auto profiles = ParseMailProfiles(plain)) MailProfileList = std::move(*profiles);
             });
         },
         [](const TWriteState&) { return EncryptOptionValue(MailProfilesPlainText(MailProfileList)); }},
        {"XAPEnabled=", TGroup::Xap,
         [](const TReadState& s, const std::string& v) {
             ReadXap(s, [&](TXapSettings& x) { x.Enabled = ParseConfigBoolean(v); });
         },
         [](const TWriteState& s) { return BoolToTrueFalse(s.Xap.Enabled); }},
        {"XAPUID=", TGroup::Xap,
         [](const TReadState& s, const std::string& v) {
             const auto uid = ParseConfigInteger("$" + v);
             ReadXap(s, [&](TXapSettings& x) { x.UID = uid ? static_cast<std::uint32_t>(*uid) : 0xFF671100; });
         },
         [](const TWriteState& s) { return FormatInvariant("%.8x", {s.Xap.UID}); }},
        XapText<&TXapSettings::HostName>("XAPHostName="),
        XapText<&TXapSettings::HostIP>("XAPHostIP="),
        XapText<&TXapSettings::BroadcastIP>("XAPBroadcastIP="),
        ScanFlag<&TScanFlags::NoPCIScan>("NoPCIScan=", TGroup::ReadOnly),
    };
    return keys;
}

bool IsClockGroup(TGroup group) { return group == TGroup::Clock || group == TGroup::ClockUsable; }

// Answers the key the line begins with, when it has one.
const TKey* ApplyLine(const std::string& line, bool secondPass, const TOptionsContext& context) {
    const auto& keys = Keys();
    const auto key =
        std::find_if(keys.begin(), keys.end(), [&](const TKey& k) { return StartsText(k.Key, line); });
    if (key == keys.end()) return nullptr;
    // The clock lists are filled only by the time of the second pass.
    if (IsClockGroup(key->Group) && (!secondPass || !context.Clock)) return &*key;
    key->Read(TReadState{context}, line.substr(key->Key.size()));
    return &*key;
}

std::optional<std::vector<std::string>> ReadLines(const std::string& fileName) {
    return TxtReadLines(fileName, TxtBufferSize, MaxLineLength);
}

std::vector<std::string> ReadClockLines(const std::string& fileName) {
    std::vector<std::string> clockLines;
    for (auto& line : ReadLines(fileName).value_or(std::vector<std::string>{})) {
        const auto isClockKey = [&](const TKey& key) { return IsClockGroup(key.Group) && StartsText(key.Key, line); };
        if (std::any_of(Keys().begin(), Keys().end(), isClockKey)) clockLines.push_back(std::move(line));
    }
    return clockLines;
}

std::string OptionsText(bool withClock, const TOptionsContext& context, const std::vector<std::string>& oldClockLines) {
    const bool clockFromPage = withClock && context.Clock;
    std::optional<TXapSettings> xap = context.Xap ? std::optional(context.Xap->Settings()) : context.Options.StoredXap;
    const TWriteState state{context, clockFromPage ? context.Clock->Current() : TClockSettings{},
                            xap.value_or(TXapSettings{})};
    const bool clockUsable = clockFromPage && context.Clock->ClockGenUsable();

    std::string out;
    auto line = [&](const TKey& key) { out += std::string(key.Key) + key.Write(state) + LineEnd; };
    bool clockWritten = false;
    for (const auto& key : Keys()) {
        switch (key.Group) {
        case TGroup::Plain:
            line(key);
            break;
        case TGroup::Clock:
        case TGroup::ClockUsable:
            if (clockWritten) break;
            clockWritten = true;
            if (!clockFromPage) {
                for (const auto& old : oldClockLines) out += old + LineEnd;
                break;
            }
            for (const auto& clockKey : Keys()) {
                if (clockKey.Group == TGroup::Clock || (clockKey.Group == TGroup::ClockUsable && clockUsable))
                    line(clockKey);
            }
            break;
        case TGroup::Xap:
            if (xap) line(key);
            else if (key.Key == "XAPEnabled=") out += std::string(key.Key) + "false" + LineEnd;
            break;
        case TGroup::ReadOnly:
            break;
        }
    }
    return out;
}

}  // namespace

bool LoadParams(const std::string& fileName, bool secondPass, const TOptionsContext& context) {
    const auto lines = ReadLines(fileName);
    if (!lines) return false;
    bool autoFanSpeedRead = false;
    for (const auto& line : *lines) {
        const TKey* key = ApplyLine(line, secondPass, context);
        autoFanSpeedRead = autoFanSpeedRead || (key && key->Key == "AutoFanSpeed=");
    }
    // The window starts with automatic fan speed on; a file without the key means off.
    if (!autoFanSpeedRead) context.Options.AutoFanSpeed = false;
    return true;
}

bool SaveParams(const std::string& fileName, bool withClock, const TOptionsContext& context) {
    const std::string text = OptionsText(withClock, context, ReadClockLines(fileName));
    if (ReplaceFileContents(fileName, text, TNewFileAccess::OwnerOnly)) return true;
    const std::string warning = "Unable to save to " + fileName;
    if (context.Dialogs) context.Dialogs->ShowWarning(warning);
    else WriteDebugLog(warning);
    return false;
}
