#include "core/cvhardwareaccess.h"

#include <algorithm>
#include <array>
#include <exception>
#include <memory>

#include "base/cvdatetime.h"
#include "base/cvformat.h"
#include "base/cvtrace.h"
#include "core/cvmonitor.h"
#include "hw/cvcpuaffinity.h"
#include "hw/cvdriver.h"
#include "platform/asciicase.h"
#include "platform/platform.h"

using cvformat::Format;

namespace {

const char* YesNo(bool value) { return value ? "YES" : "NO"; }

}  // namespace

bool THardwareAccess::EnsureIO() {
    if (IOState == Open) return true;
    if (IOState != NotTried && IOState != Closed) return false;
    ReopenIO();
    auto& log = monitor_.Log;
    if (IOAvailable) {
        log.LogMessageEx("I/O properly initialized", monitor_.Options.DebugMode);
        IOState = Open;
        return true;
    }
    IOState = Failed;
    log.LogMessage("Unable to use I/O");
    return false;
}

void THardwareAccess::ReopenIO() {
    if (IOAvailable) IOPort.reset();
    IOAvailable = OpenIO();
}

bool THardwareAccess::OpenIO() {
    WriteDebugLog("About to open I/O");
    try {
        IOPort = std::make_unique<TIOPort>();
        auto& log = monitor_.Log;
        log.TraceMessage(Format("Win9x:%s  64Bit:%s  GiveIO:%s  Caldavor:%s",
                                {YesNo(IOPort->Win9x), YesNo(IOPort->Is64Bit), YesNo(IOPort->GiveIOEnabled),
                                 YesNo(IOPort->DriverOpen)}),
                         1);
        if (IOPort->DriverOpen)
            log.TraceMessage(
                Format("Caldavor.sys ver. %d.%.3d", {IOPort->GetDriverMajorVersion(), IOPort->GetDriverMinorVersion()}),
                0);
        logCapabilities();
        if (IOPort->DriverOpen) {
            if (IOPort->CanReadMSR) TestIntelMSRs();
            if (IOPort->CanGetOSVersion) LogKernelOSVersion();
            checkDriverSignature();
        }
        installMsrReader();
        return true;
    } catch (const std::exception& e) {
        WriteDebugLog(Format("Exception opening I/O : %s", {e.what()}));
        IOPort.reset();
        return false;
    }
}

void THardwareAccess::logCapabilities() {
    const std::array<std::pair<bool, const char*>, 8> capabilities{{
        {IOPort->CanReadMemory, " read memory"},
        {IOPort->CanReadMSR, " read MSR"},
        {IOPort->CanMapMemory, " map memory"},
        {IOPort->CanQueryThermal, " query thermal"},
        {IOPort->CanEvalACPI, " eval ACPI"},
        {IOPort->CanAccessDell, " access DELL"},
        {IOPort->CanQueryRawThermal, " query raw thermal"},
        {IOPort->CanGetOSVersion, " get OS version"},
    }};
    for (const auto& [can, text] : capabilities)
        monitor_.Log.TraceMessage(std::string("  -> ") + (can ? "Can" : "Can't") + text, 0);
}

void THardwareAccess::checkDriverSignature() {
    std::string path = IOPort->ServicePath;
    if (path.empty()) path = QueryDriverPath("caldavor");
    const bool signedOk = CheckFileSignature(path, ProgramSigner);
    monitor_.Log.TraceMessage(
        signedOk ? "Caldavor driver is properly signed" : "Caldavor driver is not properly signed", 0);
}

void THardwareAccess::installMsrReader() {
    if (!monitor_.Cpu.SetMsrReader) {
        WriteDebugLog("INFO : MSR reader of the processor sources not available in this build");
        return;
    }
    monitor_.Cpu.SetMsrReader(&THardwareAccess::ReadMsrIfAvailable);
}

void THardwareAccess::CloseIO() {
    if (!IOPort) return;
    IOPort.reset();
    IOState = Closed;
    IOAvailable = false;
    monitor_.Log.LogMessageEx("I/O properly closed", monitor_.Options.DebugMode);
    WriteDebugLog("I/O properly closed");
}

std::uint64_t THardwareAccess::ReadMsrIfAvailable(std::uint32_t msr) {
    if (IOPort && IOPort->CanReadMSR) return IOPort->ReadMSR(msr);
    return ~std::uint64_t{0};
}

void THardwareAccess::LogKernelOSVersion() {
    std::uint32_t major = 0, minor = 0, build = 0;
    IOPort->GetKernelOSVersion(major, minor, build);
    monitor_.Log.LogMessageEx(Format("Kernel detected OS is %d.%d.%d", {major, minor, build}), false);
}

std::string THardwareAccess::QueryDriverPath(const std::string& serviceName) {
    if (!monitor_.WmiQueryValue) {
        WriteDebugLog("INFO : WMI not available in this build");
        return {};
    }
    try {
        return monitor_.WmiQueryValue("root\\cimv2",
                                      Format("select * from Win32_SystemDriver where caption='%s'", {serviceName}),
                                      "pathname");
    } catch (const std::exception& e) {
        WriteDebugLog(std::string("ERROR: ERROR WHILE CREATING WMIINSPECTOR (") + e.what() + ")");
        return {};
    }
}

bool THardwareAccess::CheckFileSignature(const std::string& fileName, const std::string& signer) {
    auto& log = monitor_.Log;
    if (!monitor_.SignatureChecker) {
        WriteDebugLog("INFO : signature checker not available in this build");
        return false;
    }
    log.TraceMessage("Checking signatures...", 0);
    auto& clock = platform::current().clock();
    const std::uint64_t started = clock.monotonicMs();
    bool result = false;
    try {
        const TSignatureCheck check = monitor_.SignatureChecker(fileName);
        if (!check.Checked) {
            log.TraceMessage(Format("FILE <%s> CANNOT BE CHECKED", {fileName}), 0);
        } else {
            log.TraceMessage(Format(check.Trusted ? "FILE <%s> IS TRUSTED" : "FILE <%s> IS NOT TRUSTED", {fileName}), 0);
            const std::string wanted = platform::asciiLower(signer);
            const bool named = std::any_of(check.CertificateSubjects.begin(), check.CertificateSubjects.end(),
                                           [&](const std::string& subject) { return platform::asciiLower(subject) == wanted; });
            result = check.Trusted && named;
        }
    } catch (const std::exception& e) {
        log.TraceMessage(Format("FILE <%s> CANNOT BE CHECKED", {fileName}), 0);
    }
    const double elapsedDays = static_cast<double>(clock.monotonicMs() - started) / 86400000.0;
    log.TraceMessage(Format("End of signature checking. (%s)",
                            {FormatDateTime("hh:nn:ss.zzz", elapsedDays, InvariantLocale)}),
                     0);
    return result;
}

void THardwareAccess::TestIntelMSRs() {
    auto& log = monitor_.Log;
    log.LogMessageEx("About to do a test on INTEL MSRs...", false);
    if (!monitor_.Cpu.ProcessorInfo) {
        log.LogMessageEx("INFO : processor information not available in this build", false);
    } else {
        try {
            const TProcessorInfo info = monitor_.Cpu.ProcessorInfo(0);
            if (info.IsIntel) {
                log.LogMessageEx(Format("Found <%s>", {info.Name}), false);
                log.LogMessageEx(Format("CURRENT AFFINITY=%.4x", {GetProcessAffinity()}), false);
                testMSRsPerCPU();
                testPrivateDriverPerCPU();
            }
        } catch (const std::exception& e) {
            log.LogMessage(Format("!!!Exception in reading CPU INFO!!! --> %s", {e.what()}));
        }
    }
    log.LogMessageEx("End of INTEL MSR test", false);
}

// A processor that cannot be pinned is not read: its values would be another
// processor's under this one's number.
void THardwareAccess::testMSRsPerCPU() {
    auto& log = monitor_.Log;
    const int count = GetProcessorCount();
    for (int n = 0; n < count; ++n) {
        log.LogMessageEx(Format("CPU#%.2d", {n}), false);
        const TNosCpuAffinity pin(n);
        if (!pin.Success) {
            log.LogMessageEx("ERROR SETTING AFFINITY", false);
            continue;
        }
        log.LogMessageEx(Format("  AFFINITY=%.4x", {GetProcessAffinity()}), false);
        const auto regs = platform::current().cpuid(1, 0);
        log.LogMessageEx(Format("CPUID[1].EBX=%.8x", {regs.ebx}), false);
        try {
            log.LogMessageEx(Format("  TSC=$%.16x", {IOPort->ReadMSR(0x10)}), false);
            log.LogMessageEx(Format("  MSR[$1B]=$%.16x", {IOPort->ReadMSR(0x1B)}), false);
            log.LogMessageEx(Format("  MSR[$EE]=$%.16x", {IOPort->ReadMSR(0xEE)}), false);
        } catch (const std::exception&) {
            log.LogMessageEx("  !!!Exception reading MSR!!!", false);
        }
    }
}

void THardwareAccess::testPrivateDriverPerCPU() {
    auto& log = monitor_.Log;
    try {
        const int count = GetProcessorCount();
        for (int n = 0; n < count; ++n) {
            const TNosCpuAffinity pin(n);
            if (!pin.Success) continue;
            TIOPort local;
            if (local.CanReadMSR)
                log.LogMessageEx(Format("CPU#%.2d MSR[$1B]=$%.16x", {n, local.ReadMSR(0x1B)}), false);
        }
    } catch (const std::exception& e) {
        log.LogMessageEx(Format("!!!Error investigating LocalIO affinity support!!! --> %s", {e.what()}), false);
    }
}
