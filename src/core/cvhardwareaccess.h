#pragma once
// Opening and closing the program's hardware access for the main window: the
// driver interface object, what it can do, and the signatures of the program
// and its driver.

#include <cstdint>
#include <string>

class TMonitor;

// The signer that the program's own file and its driver must carry.
inline constexpr const char* ProgramSigner = "Virel S.R.L.";

class THardwareAccess {
public:
    enum : std::uint8_t { NotTried = 0, Open = 1, Closed = 2, Failed = 3 };

    explicit THardwareAccess(TMonitor& monitor) : monitor_(monitor) {}

    // Once Failed, hardware access is never tried again in this process.
    std::uint8_t IOState = NotTried;
    // The global IOPort exists and was made without an exception.
    bool IOAvailable = false;

    bool EnsureIO();
    void ReopenIO();
    bool OpenIO();
    // Before a suspend.
    void CloseIO();

    // All ones unless the driver reads MSRs.
    static std::uint64_t ReadMsrIfAvailable(std::uint32_t msr);
    void TestIntelMSRs();
    void LogKernelOSVersion();
    // The driver file of a service as WMI knows it; empty when it cannot tell.
    std::string QueryDriverPath(const std::string& serviceName);
    // True only when the file is trusted and one of its certificates names Signer.
    bool CheckFileSignature(const std::string& fileName, const std::string& signer);

private:
    void logCapabilities();
    void checkDriverSignature();
    void installMsrReader();
    void testMSRsPerCPU();
    void testPrivateDriverPerCPU();

    TMonitor& monitor_;
};
