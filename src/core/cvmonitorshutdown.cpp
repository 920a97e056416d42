#include "core/cvmonitor.h"

#include <exception>

#include "base/cvformat.h"
#include "core/cvmaintick.h"
#include "core/cvpower.h"
#include "core/cvvars.h"

using cvformat::Format;

bool TMonitor::FormClose() {
    if (!ExitRequested && Options.MinimizeOnClose) {
        if (Window) Window->PostMessage(WM_MINIMIZE, 0, 0);
        return false;
    }
    return true;
}

void TMonitor::ACMinimizeExecute() {
    if (Window) Window->Minimize();
}

void TMonitor::ACRestoreExecute() {
    if (Window) Window->Restore();
}

void TMonitor::ACExitExecute() {
    ExitRequested = true;
    if (Window) Window->Close();
}

// Every chip is given back, even when another one's restore fails: none is
// left under software control.
void TMonitor::FormDestroy() {
    WriteDebugLog("FormDestroy started");
    SetTimersEnabled(false);
    InTimer = true;
    WriteDebugLog("Timers deactivated");
    // A destructor never throws, so freeing the sender cannot fail.
    if (ownedXap_) {
        Xap = nullptr;
        ownedXap_.reset();
    }
    Events.TraceEvaluationTimes();
    if (Options.FullOnExit) {
        for (std::size_t i = 0; i < Sensors.size(); ++i) {
            for (int pwm = 1; pwm <= Sensors[i]->GetPwmCount(); ++pwm) {
                WriteDebugLog(Format("About to set pwm[%d] for sensor[%d]", {pwm, static_cast<int>(i)}));
                try {
                    Sensors[i]->SetPwm(pwm, 100);
                } catch (const std::exception& e) {
                    Log.TraceMessage(Format("ERROR IN SETPWM (%s): %s", {Sensors[i]->FChipName, e.what()}), 1);
                }
            }
        }
    }
    WriteDebugLog("Duty cycles set to correct values");
    WriteDebugLog("Restoring sensors' initial state");
    for (const auto& sensor : Sensors) {
        WriteDebugLog(Format("About to restore %s at address %.8x to initial state", {sensor->FChipName, sensor->FAddress}));
        try {
            sensor->RestoreInitialState();
        } catch (const std::exception& e) {
            Log.TraceMessage(Format("ERROR IN RESTOREINITIALSTATE (%s): %s", {sensor->FChipName, e.what()}), 1);
        }
    }
    WriteDebugLog("Sensors reverted to initial state");
    SmartDrives.clear();
    for (auto& sensor : Sensors) {
        WriteDebugLog(Format("About to free %s at address %.8x", {sensor->FChipName, sensor->FAddress}));
        sensor.reset();
    }
    Sensors.clear();
    WriteDebugLog("Sensors freed");
    SensorInUse.clear();
    Links().clear();
    WriteDebugLog("Links freed");
    if (Window) Window->DisableTrayIcon();
    WriteDebugLog("TrayIcon disabled");
    WriteDebugLog("Icons freed");
    if (DetectionSteps.FreeArecaRAID) {
        DetectionSteps.FreeArecaRAID();
        WriteDebugLog("ARECA support freed");
    } else {
        WriteDebugLog("INFO : Areca support not available in this build");
    }
    SharedMem.Withdraw(platform::current().processId());
}
