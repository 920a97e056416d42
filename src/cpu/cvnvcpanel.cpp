#include "cpu/cvnvcpanel.h"

#include <exception>

#include "base/cvtrace.h"
#include "platform/platform.h"

namespace {
std::unique_ptr<TNVCpl> global;
std::string initError;
}  // namespace

bool TNVCpl::Open() {
    if (FLibrary) return false;
    WriteDebugLog("About to open NVCPL.DLL...");
    FLibrary = platform::current().libraries().load(platform::nvcpl::FileName);
    if (!FLibrary) {
        WriteDebugLog("Error opening NVCPL.DLL!");
        return false;
    }
    WriteDebugLog("NVCPL.DLL properly opened");
    FGetThermalSettings = FLibrary->entry<platform::nvcpl::ThermalSettings>(platform::nvcpl::GetThermalSettings);
    if (!FGetThermalSettings) {
        WriteDebugLog("Unable to link NvCplGetThermalSettings!");
        Close();
        return false;
    }
    WriteDebugLog("NvCplGetThermalSettings properly linked");
    for (std::uint32_t monitor = 1; monitor <= 8; ++monitor) GetThermalSettings(monitor);
    return true;
}

void TNVCpl::Close() {
    FGetThermalSettings = nullptr;
    FLibrary.reset();
}

TNVCpl::TThermal TNVCpl::GetThermalSettings(std::uint32_t monitorIndex) {
    TThermal t;
    if (!FLibrary || !FGetThermalSettings) return t;
    try {
        FGetThermalSettings(monitorIndex, &t.Core, &t.Ambient, &t.Limit);
    } catch (const std::exception&) {
        // The values keep what the call wrote.
    }
    return t;
}

void InitNVCpl() {
    WriteDebugLog("Initializing CVNVCPANEL");
    initError.clear();
    try {
        global = std::make_unique<TNVCpl>();
    } catch (const std::exception& e) {
        initError = std::string("Error creating NVControlPanel (") + e.what() + ")";
        WriteDebugLog(initError);
        return;
    }
    try {
        global->Open();
    } catch (const std::exception& e) {
        initError = (initError.empty() ? "" : initError + " - ") + "Error initializing NVControlPanel (" + e.what() + ")";
        WriteDebugLog(initError);
    }
}

TNVCpl* NVCpl() { return global.get(); }
std::string GetInitError() { return initError; }

void FinalizeNVCpl() {
    global.reset();
    initError.clear();
}
