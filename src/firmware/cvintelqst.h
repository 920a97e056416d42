#pragma once
// The Intel Quiet System Technology access object: reads the firmware's
// configuration once, then refreshes the four lists of monitors and drives
// the fan controllers over one HECI connection. One engine serves both
// generations; TCVIntelQST2 only picks the second generation's table.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "firmware/heci.h"
#include "firmware/intelqst.h"

struct TIntelQSTTempData {
    std::uint8_t Index = 0, Usage = 0;
    std::string Name;
    float Value = 0, Nominal = 0, NonCritical = 0, Critical = 0, NonRecoverable = 0;
};
struct TIntelQSTFanData {
    std::uint8_t Index = 0, Usage = 0;
    std::string Name;
    float Value = 0, Nominal = 0, NonCritical = 0, Critical = 0, NonRecoverable = 0;
};
struct TIntelQSTVoltData {
    std::uint8_t Index = 0, Usage = 0;
    std::string Name;
    float Value = 0, Nominal = 0, UVNonCritical = 0, OVNonCritical = 0, UVCritical = 0, OVCritical = 0,
          UVNonRecoverable = 0, OVNonRecoverable = 0;
};
struct TIntelQSTPwmData {
    std::uint8_t Index = 0, Usage = 0;
    std::string Name;
    float Value = 0;  // duty in percent
    std::uint8_t EN = 0, SW = 0, SL = 0, TM = 0, OV = 0, ST = 0;
};
using TIntelQSTTempDatas = std::vector<TIntelQSTTempData>;
using TIntelQSTFanDatas = std::vector<TIntelQSTFanData>;
using TIntelQSTVoltDatas = std::vector<TIntelQSTVoltData>;
using TIntelQSTPwmDatas = std::vector<TIntelQSTPwmData>;

// A controller's flags as letters: "EN:Y ST:n SW:N OV:N TM:N SL:N".
std::string QSTPwmFlagsText(const TIntelQSTPwmData& p);

class TCVIntelQST {
public:
    TCVIntelQST();
    virtual ~TCVIntelQST();
    TCVIntelQST(const TCVIntelQST&) = delete;
    TCVIntelQST& operator=(const TCVIntelQST&) = delete;

    void UpdateTemps() { UpdateTempsWithLines(false); }
    void UpdateFans() { UpdateFansWithLines(false); }
    void UpdateVolts() { UpdateVoltsWithLines(false); }
    void UpdatePwms() { UpdatePwmsWithLines(false); }
    // Position in the controller list; duty in hundredths of a percent (0 to 10000).
    void SetDutyCycle(int position, int duty);
    void SetControllerAuto(int position);
    void PrepareForSuspend();
    void ResumeFromSuspend();

    void Log(const std::string& msg);
    void LogHeci(const std::string& msg);

    // The configuration command answered and the connection is up.
    bool Available() const { return FConfigured && FHeci && FHeci->Initialized(); }
    const TQSTGeneration& Generation() const { return FGen; }
    THeciWin* Heci() { return FHeci.get(); }

    TQSTLog FLog;         // lines logged after construction
    TQSTLog FStartupLog;  // lines logged during construction
    TIntelQSTTempDatas FTemps;
    TIntelQSTFanDatas FFans;
    TIntelQSTVoltDatas FVolts;
    TIntelQSTPwmDatas FPwms;
    bool FConfigured = false;

protected:
    explicit TCVIntelQST(const TQSTGeneration& generation);

private:
    void ReadConfiguration();
    void ReadTempConfig(TIntelQSTTempData& t, TQSTLog& errors);
    void ReadFanConfig(TIntelQSTFanData& f, TQSTLog& errors);
    void ReadVoltConfig(TIntelQSTVoltData& v, TQSTLog& errors);
    void ReadPwmConfig(TIntelQSTPwmData& p, TQSTLog& errors);
    void UpdateTempsWithLines(bool lines);
    void UpdateFansWithLines(bool lines);
    void UpdateVoltsWithLines(bool lines);
    void UpdatePwmsWithLines(bool lines);
    // One exchange; a reading reply must also carry status 0 to count.
    bool Command(std::uint8_t command, std::uint8_t index, const std::vector<std::uint8_t>& payload, int replyLength,
                 std::vector<std::uint8_t>& reply, TQSTLog* errors);
    bool Reading(std::uint8_t command, int records, int recordSize, std::vector<std::uint8_t>& reply);
    bool Connected() const { return FHeci && FHeci->Initialized(); }
    std::unique_ptr<THeciWin> MakeHeci();

    const TQSTGeneration& FGen;
    std::unique_ptr<THeciWin> FHeci;
    bool FConstructing = false;
};

// Made by detection when QST 1.x firmware answers; read by the QST sensors.
extern std::unique_ptr<TCVIntelQST> IntelQST;
