#include "core/cvmonitor.h"

#include <exception>

#include "base/cvformat.h"
#include "core/cvmaintick.h"
#include "core/cvpower.h"
#include "core/cvvars.h"

using cvformat::Format;

// A block that cannot be made is no reason to refuse to start: the program
// runs without publishing.
void TMonitor::OpenSharedBlock() {
    const std::uint32_t processId = platform::current().processId();
    try {
        SharedMem.SetBlockSize(SharedLayout::BlockSize);
        SharedMem.SetBlockName(SharedLayout::BlockName);
        WriteSharedHeader(SharedMem, processId);
    } catch (const ESharedMemoryError& e) {
        WriteDebugLog(e.what());
    }
    std::string reason;
    Commands = platform::current().openCommandChannel(processId, reason);
    if (!Commands) WriteDebugLog("INFO : no command channel (" + reason + ")");
}

void TMonitor::PollSystemMessages() {
    if (!Window) return;
    if (Commands) {
        for (const auto& command : Commands->takeCommands())
            Window->PostMessage(WM_EXTERNAL_COMMAND, static_cast<std::intptr_t>(command.wParam),
                                static_cast<std::intptr_t>(command.lParam));
    }
    for (const std::uint32_t event : platform::current().takePowerEvents())
        Window->PostMessage(WM_POWERBROADCAST, static_cast<std::intptr_t>(event), 0);
}

void TMonitor::HandleMessage(int msg, std::intptr_t wParam, std::intptr_t lParam) {
    switch (msg) {
    case WM_DEFERRED_STARTUP: DeferredStartup(); break;
    case WM_EXTERNAL_COMMAND: ExternalCommand(*this, wParam, lParam); break;
    case WM_CPU_CLOCK: CpuClockMessage(*this); break;
    case WM_POWER_STATUS: PowerStatusMessage(*this); break;
    case WM_MINIMIZE: MinimizeMessage(); break;
    case WM_POWERBROADCAST:
        PowerBroadcast(*this, static_cast<std::uint32_t>(wParam));
        // A suspend waits for this: the system may sleep now.
        platform::current().powerEventHandled(static_cast<std::uint32_t>(wParam));
        break;
    default: break;
    }
}
