#include "core/cvmonitor.h"

#include <exception>

#include "base/cvformat.h"
#include "core/cvdetectsensors.h"
#include "core/cvmaintick.h"
#include "core/cvpacedstep.h"
#include "core/cvpower.h"
#include "core/cvsmartdisk.h"
#include "core/cvvars.h"
#include "hw/cvsetupapi.h"
#include "platform/desktop.h"

using cvformat::Format;

// The deferred start-up: detection, the sensors' preparation and first samples.

namespace {

constexpr int BalloonTimeoutMs = 10000;
constexpr std::uint8_t ChipCodeIT8712F[] = {81, 82};

const char* const WelcomeText =
    "Caldavor is an hardware monitoring software that is able to change fan speeds according to system "
    "temperatures. Caldavor can read S.M.A.R.T. values (and temperatures) from your hard disks and change the FSB "
    "speed.\r\rYou can press F1 anytime to get help.";
const char* const IT8712FText =
    "IT8712F support was improved.\rPlease, have a look at CONFIG / ADVANCED and read the help file about how to "
    "configure Advanced Options.";


}  // namespace

void TMonitor::ReadCpuFeatures() {
    HasTSC = false;
    if (!Cpu.ProcessorInfo) {
        WriteDebugLog("INFO : CPU features not available in this build");
        return;
    }
    try {
        HasTSC = Cpu.ProcessorInfo(0).HasTSC;
    } catch (const std::exception&) {
        Log.LogMessage("!!!Exception in reading CPU INFO at startup (1)!!!");
    }
}

void TMonitor::DeferredStartup() {
    const bool signedOk = IO.CheckFileSignature(programFile_, ProgramSigner);
    Log.TraceMessage(signedOk ? "Caldavor executable is properly signed" : "Caldavor executable is not properly signed",
                     0);
    if (Options.StartupHide) ACMinimizeExecute();
    if (Cpu.SamplerError) {
        const TCpuSamplerError error = Cpu.SamplerError();
        if (error.Code != 0) Log.LogMessage(Format("ERROR collecting CPU Usage : %d (%s)", {error.Code, error.Text}));
    }
    if (Cpu.GetCpuThreadSyncCycles)
        Log.LogMessageEx(Format("CPU Thread Sync Cycles=%d", {Cpu.GetCpuThreadSyncCycles()}), false);

    WriteDebugLog("About to Open I/O...");
    IO.EnsureIO();
    WriteDebugLog("I/O properly opened...");
    if (IO.IOAvailable) DetectHardware();

    if ((HasChipCode(Sensors, ChipCodeIT8712F[0]) || HasChipCode(Sensors, ChipCodeIT8712F[1])) &&
        !Options.NoMoreTip0005 && !Options.StartupHide && ShowHintDialog("IT8712F found!", IT8712FText, true)) {
        Options.NoMoreTip0005 = true;
        SaveParams(false);
    }
    if (XapFactory) {
        ownedXap_ = XapFactory(*this);
        Xap = ownedXap_.get();
    }
    SetTimersEnabled(true);
    if (Window) Options.AutoFanSpeed = Window->AutoFanSpeedChecked();
    LoadParams(OptionsFilePath(), true);
    DutyEdits.SuppressPwmWrite = false;
    if (Window) Window->PostMessage(WM_CPU_CLOCK, 0, 0);
    if (!Options.NoMoreTip0001 && !Options.StartupHide && ShowHintDialog("Welcome to Caldavor!", WelcomeText, true)) {
        Options.NoMoreTip0001 = true;
        SaveParams(true);
    }
}

void TMonitor::DetectHardware() {
    WriteDebugLog("About to check CPU features...");
    ReadCpuFeatures();
    WriteDebugLog("Detecting links...");
    DetectLinks();
    if (ScanFlags.SMBusDebug) {
        if (SMBusDebugDialog)
            SMBusDebugDialog->RunModal();
        else
            WriteDebugLog("INFO : SMBus debug dialog not available in this build");
    } else {
        WriteDebugLog("Detecting sensors...");
        DetectSensors(*this);
    }
    if (!Sensors.empty()) {
        PrepareSensors();
        return;
    }
    Log.LogMessage("INFO : NO SUPPORTED CHIP DETECTED");
    if (DetectionSignature(*this))
        platform::current().desktop().showBalloon("Caldavor", "No supported sensor chip detected", BalloonTimeoutMs,
                                                  platform::BalloonIcon::Warning);
}

void TMonitor::PrepareSensors() {
    WriteDebugLog("Showing hint...");
    if (DetectionSignature(*this))
        platform::current().desktop().showBalloon("Sensors detected", SensorsDetectedText(Sensors), BalloonTimeoutMs,
                                                  platform::BalloonIcon::Info);
    SaveInitialStates();
    WriteDebugLog("Init associations...");
    BuildReadingSlots();
    WriteDebugLog("Auto associating...");
    AutoAssociate();
    WriteDebugLog("Loading fine-tuned associations");
    LoadFineTunedAssociations();
    WriteDebugLog("Loading associations...");
    LOADASSOCIATIONS(SensorsFilePath(), false, true);
    ReadFirstSamples();
    WriteDebugLog("Parsing used...");
    PARSEUSED();
    WriteDebugLog("Initializing chart selector...");
    if (Window) Window->SetupChart();
    WriteDebugLog("Activating timer...");
    if (RxTimerMain && (!Slots.TempSlots.empty() || !Slots.FanSlots.empty() || !Slots.VoltSlots.empty()))
        RxTimerMain->SetEnabled(true);
}

void TMonitor::SaveInitialStates() {
    WriteDebugLog("About to save sensors' initial state");
    for (const auto& sensor : Sensors) {
        try {
            sensor->SaveInitialState();
        } catch (const std::exception& e) {
            Log.LogMessage(Format("ERROR IN SAVEINITIALSTATE (%s): %s", {sensor->FChipName, e.what()}));
        }
    }
    WriteDebugLog("End of saving sensors' initial state");
}

void TMonitor::ReadFirstSamples() {
    WriteDebugLog("About to read first samples for all sensors");
    struct TFirstRead {
        const char* Trace;
        void (TSensor::*Read)();
        const char* Failure;
    };
    static constexpr TFirstRead Reads[] = {
        {"  ...temperatures", &TSensor::ReadTemps, "READFIRSTSAMPLESFROMSENSORS DEBUG 1 "},
        {"  ...fans", &TSensor::ReadFans, "READFIRSTSAMPLESFROMSENSORS DEBUG 2 "},
        {"  ...pwms", &TSensor::ReadPwms, "READFIRSTSAMPLESFROMSENSORS DEBUG 3 "},
        {"  ...volts", &TSensor::ReadVolts, "READFIRSTSAMPLESFROMSENSORS DEBUG 4 "},
    };
    for (const auto& sensor : Sensors) {
        WriteDebugLog(Format("About to read first samples from %s", {sensor->FDisplayName}));
        SampleTime = Now();
        for (const auto& read : Reads) {
            WriteDebugLog(read.Trace);
            try {
                (sensor.get()->*read.Read)();
            } catch (const std::exception& e) {
                Log.LogMessage(read.Failure + std::string(e.what()));
            }
        }
    }
    WriteDebugLog("End of reading first samples for all sensors");
}

void TMonitor::RxTimerMainTimer() { ::RxTimerMainTimer(*this); }
