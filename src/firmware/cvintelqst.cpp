#include "firmware/cvintelqst.h"

#include <algorithm>

#include "base/cvformat.h"
#include "base/cvtrace.h"

using cvformat::Format;

std::unique_ptr<TCVIntelQST> IntelQST;

namespace {

std::uint32_t Unsigned(const std::vector<std::uint8_t>& r, int offset, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | r[static_cast<std::size_t>(offset + i)];
    return v;
}
int U16(const std::vector<std::uint8_t>& r, int offset) { return static_cast<int>(Unsigned(r, offset, 2)); }
int S32(const std::vector<std::uint8_t>& r, int offset) { return static_cast<std::int32_t>(Unsigned(r, offset, 4)); }

// Bits 0 to count-1 of a mask as entries with those indexes.
template <class Entry>
void AddEntries(std::vector<Entry>& list, std::uint32_t mask, int count) {
    list.clear();
    for (int i = 0; i < count; ++i)
        if (mask >> i & 1) {
            Entry e;
            e.Index = static_cast<std::uint8_t>(i);
            list.push_back(e);
        }
}


}  // namespace

TCVIntelQST::TCVIntelQST() : TCVIntelQST(QST1Generation()) {}

TCVIntelQST::TCVIntelQST(const TQSTGeneration& generation) : FGen(generation) {
    FHeci = MakeHeci();
    FConstructing = true;
    ReadConfiguration();
    FConstructing = false;
}

TCVIntelQST::~TCVIntelQST() = default;

std::unique_ptr<THeciWin> TCVIntelQST::MakeHeci() {
    return std::make_unique<THeciWin>(QSTClientGuid, [this](const std::string& msg) { LogHeci(msg); });
}

void TCVIntelQST::Log(const std::string& msg) {
    if (msg.empty()) return;
    WriteDebugLog(msg);
    (FConstructing ? FStartupLog : FLog).push_back(msg);
}

void TCVIntelQST::LogHeci(const std::string& msg) {
    const std::string line = "HECI -> " + msg;
    // A transfer that fails on every tick is told once.
    if (!FConstructing && std::find(FLog.begin(), FLog.end(), line) != FLog.end()) return;
    Log(line);
}

bool TCVIntelQST::Command(std::uint8_t command, std::uint8_t index, const std::vector<std::uint8_t>& payload,
                          int replyLength, std::vector<std::uint8_t>& reply, TQSTLog* errors) {
    if (!FHeci) return false;
    const auto length = static_cast<std::uint16_t>(replyLength);
    return QSTExchange(*FHeci, QSTRequest(FGen, command, index, payload, length), length, reply, errors);
}

bool TCVIntelQST::Reading(std::uint8_t command, int records, int recordSize, std::vector<std::uint8_t>& reply) {
    if (!Connected()) return false;
    return Command(command, 0, {}, 1 + records * recordSize, reply, nullptr) && reply[0] == 0;
}

void TCVIntelQST::ReadConfiguration() {
    if (!FHeci->IsPresent()) {
        Log("  HECI driver not found");
        return;
    }
    Log("  HECI driver found");
    if (!FHeci->Initialize()) {
        Log("  Unable to initialize HECI support");
        return;
    }
    TQSTLog errors;
    std::vector<std::uint8_t> reply;
    if (!Command(FGen.config, 0, {}, FGen.configReply, reply, &errors)) return;
    FConfigured = true;
    auto mask = [&](const TQSTMask& m) { return Unsigned(reply, m.offset, m.bytes); };
    Log(Format("  config.status=%d", {reply[0]}));
    for (const TQSTMask* m : {&FGen.tempMask, &FGen.voltMask, &FGen.fanMask, &FGen.tempResp, &FGen.pwmMask})
        Log(Format(m->line, {mask(*m)}));
    AddEntries(FTemps, mask(FGen.tempMask), std::min(FGen.tempMask.bits, FGen.tempRecords));
    AddEntries(FFans, mask(FGen.fanMask), std::min(FGen.fanMask.bits, FGen.fanRecords));
    AddEntries(FVolts, mask(FGen.voltMask), std::min(FGen.voltMask.bits, FGen.voltRecords));
    AddEntries(FPwms, mask(FGen.pwmMask), std::min(FGen.pwmMask.bits, FGen.pwmRecords));

    for (std::size_t p = 0; p < FTemps.size(); ++p) {
        Log(Format("Analyzing config for temperature %d", {static_cast<int>(p)}));
        ReadTempConfig(FTemps[p], errors);
    }
    for (std::size_t p = 0; p < FFans.size(); ++p) {
        Log(Format("Analyzing config for fan %d", {static_cast<int>(p)}));
        ReadFanConfig(FFans[p], errors);
    }
    for (std::size_t p = 0; p < FVolts.size(); ++p) {
        Log(Format("Analyzing config for voltage %d", {static_cast<int>(p)}));
        ReadVoltConfig(FVolts[p], errors);
    }
    for (std::size_t p = 0; p < FPwms.size(); ++p) {
        Log(Format("Analyzing config for fan controller %d", {static_cast<int>(p)}));
        ReadPwmConfig(FPwms[p], errors);
    }
    Log("Temperature readings ->");
    UpdateTempsWithLines(true);
    Log("Fan speed readings ->");
    UpdateFansWithLines(true);
    Log("Voltage readings ->");
    UpdateVoltsWithLines(true);
    Log("Fan controllers readings ->");
    UpdatePwmsWithLines(true);
}

void TCVIntelQST::ReadTempConfig(TIntelQSTTempData& t, TQSTLog& errors) {
    std::vector<std::uint8_t> r;
    if (!Command(FGen.tempConfig, t.Index, {}, 20, r, &errors)) return;
    if (r[0] != 0) Log(Format("  status            =%d", {r[0]}));
    if (r[1] != 1) Log(Format("  MonitorEnabled    =%d", {r[1]}));
    t.Usage = r[2];
    t.Name = FGen.tempName(r[2]);
    Log(Format("  MonitorUsage      =%d -> %s", {r[2], t.Name}));
    Log(Format("  RelativeReadings  =%d", {r[3]}));
    const char* lines[] = {"  TempNominal       =%.2f", "  TempNonCritical   =%.2f", "  TempCritical      =%.2f",
                           "  TempNonRecoverable=%.2f"};
    float* fields[] = {&t.Nominal, &t.NonCritical, &t.Critical, &t.NonRecoverable};
    for (int i = 0; i < 4; ++i) {
        *fields[i] = static_cast<float>(S32(r, 4 + 4 * i) / 100.0);
        Log(Format(lines[i], {*fields[i]}));
    }
}

void TCVIntelQST::ReadFanConfig(TIntelQSTFanData& f, TQSTLog& errors) {
    std::vector<std::uint8_t> r;
    if (!Command(FGen.fanConfig, f.Index, {}, 11, r, &errors)) return;
    if (r[0] != 0) Log(Format("  status        =%d", {r[0]}));
    if (r[1] != 1) Log(Format("  MonitorEnabled=%d", {r[1]}));
    f.Usage = r[2];
    f.Name = FGen.fanName(r[2]);
    Log(Format("  MonitorUsage  =%d -> %s", {r[2], f.Name}));
    const char* lines[] = {"  Nominal       =%d", "  NonCritical   =%d", "  Critical      =%d", "  NonRecoverable=%d"};
    float* fields[] = {&f.Nominal, &f.NonCritical, &f.Critical, &f.NonRecoverable};
    for (int i = 0; i < 4; ++i) {
        const int v = U16(r, 3 + 2 * i);
        *fields[i] = static_cast<float>(v);
        Log(Format(lines[i], {v}));
    }
}

void TCVIntelQST::ReadVoltConfig(TIntelQSTVoltData& v, TQSTLog& errors) {
    std::vector<std::uint8_t> r;
    if (!Command(FGen.voltConfig, v.Index, {}, 31, r, &errors)) return;
    if (r[0] != 0) Log(Format("  status          =%d", {r[0]}));
    if (r[1] != 1) Log(Format("  MonitorEnabled  =%d", {r[1]}));
    v.Usage = r[2];
    v.Name = FGen.voltName(r[2]);
    Log(Format("  MonitorUsage    =%d -> %s", {r[2], v.Name}));
    const char* lines[] = {"  Nominal         =%.2f", "  UVNonCritical   =%.2f", "  OVNonCritical   =%.2f",
                           "  UVCritical      =%.2f", "  OVCritical      =%.2f", "  UVNonRecoverable=%.2f",
                           "  OVNonRecoverable=%.2f"};
    float* fields[] = {&v.Nominal,    &v.UVNonCritical,    &v.OVNonCritical,   &v.UVCritical,
                       &v.OVCritical, &v.UVNonRecoverable, &v.OVNonRecoverable};
    for (int i = 0; i < 7; ++i) {
        *fields[i] = static_cast<float>(S32(r, 3 + 4 * i) / 1000.0);
        Log(Format(lines[i], {*fields[i]}));
    }
}

void TCVIntelQST::ReadPwmConfig(TIntelQSTPwmData& p, TQSTLog& errors) {
    std::vector<std::uint8_t> r;
    if (!Command(FGen.pwmConfig, p.Index, {}, 3, r, &errors)) return;
    if (r[0] != 0) Log(Format("  status        =%d", {r[0]}));
    if (r[1] != 1) Log(Format("  ControllerEnabled=%d", {r[1]}));
    p.Usage = r[2];
    p.Name = FGen.pwmName(r[2]);
    Log(Format("  ControllerUsage  =%d -> %s", {r[2], p.Name}));
}

void TCVIntelQST::UpdateTempsWithLines(bool lines) {
    std::vector<std::uint8_t> r;
    if (!Reading(FGen.temps, FGen.tempRecords, 5, r)) return;
    for (auto& t : FTemps) {
        t.Value = static_cast<float>(S32(r, 2 + 5 * t.Index) / 100.0);
        if (lines) Log(Format("  %s temperature is %.2fC", {t.Name, t.Value}));
    }
}

void TCVIntelQST::UpdateFansWithLines(bool lines) {
    std::vector<std::uint8_t> r;
    if (!Reading(FGen.fans, FGen.fanRecords, 3, r)) return;
    for (auto& f : FFans) {
        const int speed = U16(r, 2 + 3 * f.Index);
        f.Value = static_cast<float>(speed);
        if (lines) Log(Format("  %s fan speed is %d RPM", {f.Name, speed}));
    }
}

void TCVIntelQST::UpdateVoltsWithLines(bool lines) {
    std::vector<std::uint8_t> r;
    if (!Reading(FGen.volts, FGen.voltRecords, 5, r)) return;
    for (auto& v : FVolts) {
        v.Value = static_cast<float>(S32(r, 2 + 5 * v.Index) / 1000.0);
        if (lines) Log(Format("  %s voltage is %.3fV", {v.Name, v.Value}));
    }
}

std::string QSTPwmFlagsText(const TIntelQSTPwmData& p) {
    const auto letter = [](const char* letters, int value) { return std::string(1, letters[value]); };
    return Format("EN:%s ST:%s SW:%s OV:%s TM:%s SL:%s", {letter("NY", p.EN), letter("NnCW", p.ST), letter("NY", p.SW),
                                                          letter("NY", p.OV), letter("NY", p.TM), letter("NY", p.SL)});
}

void TCVIntelQST::UpdatePwmsWithLines(bool lines) {
    std::vector<std::uint8_t> r;
    if (!Reading(FGen.pwms, FGen.pwmRecords, 3, r)) return;
    for (auto& p : FPwms) {
        const int flags = r[static_cast<std::size_t>(1 + 3 * p.Index)];
        p.Value = static_cast<float>(U16(r, 2 + 3 * p.Index) / 100.0);
        p.EN = flags & 1;
        p.ST = flags >> 1 & 3;
        p.SW = flags >> 3 & 1;
        p.OV = flags >> 4 & 1;
        p.TM = flags >> 5 & 1;
        p.SL = flags >> 6 & 1;
        if (lines)
            Log(Format("  %s pwm is %.0f%% %s", {p.Name, p.Value, QSTPwmFlagsText(p)}));
    }
}

void TCVIntelQST::SetDutyCycle(int position, int duty) {
    if (position < 0 || position >= static_cast<int>(FPwms.size()) || duty < 0 || duty > 10000 || !Connected()) return;
    std::vector<std::uint8_t> reply;
    const std::vector<std::uint8_t> payload{static_cast<std::uint8_t>(duty), static_cast<std::uint8_t>(duty >> 8)};
    Command(FGen.setDuty, FPwms[static_cast<std::size_t>(position)].Index, payload, 1, reply, nullptr);
}

void TCVIntelQST::SetControllerAuto(int position) {
    if (position < 0 || position >= static_cast<int>(FPwms.size()) || !Connected()) return;
    std::vector<std::uint8_t> reply;
    Command(FGen.setAuto, FPwms[static_cast<std::size_t>(position)].Index, {}, 1, reply, nullptr);
}

void TCVIntelQST::PrepareForSuspend() {
    if (FHeci && FHeci->Initialized()) FHeci->Close();
    FHeci.reset();
}

void TCVIntelQST::ResumeFromSuspend() {
    if (!FHeci) FHeci = MakeHeci();
    const std::string name = FGen.className;
    if (FHeci->Initialized()) {
        Log(name + ".ResumeFromSuspend - heci is already initialized");
        return;
    }
    int retries = 0;
    while (retries < 100 && !FHeci->Initialize()) {
        platform::current().clock().sleepMs(100);
        ++retries;
        Log(Format("%s.ResumeFromSuspend - waiting for HECI (%d)...", {name, retries}));
    }
    Log(Format("%s.ResumeFromSuspend - heci.initialized=%d (%d retries)", {name, FHeci->Initialized() ? 1 : 0, retries}));
}
