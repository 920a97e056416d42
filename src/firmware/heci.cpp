#include "firmware/heci.h"

#include "base/cvformat.h"

using cvformat::Format;

THeciWin::THeciWin(const platform::Guid& clientGuid, THeciLogEvent onLog)
    : FClientGuid(clientGuid), FOnLog(std::move(onLog)) {}

THeciWin::~THeciWin() { Close(); }

void THeciWin::Log(const std::string& msg) const {
    if (FOnLog) FOnLog(msg);
}

void THeciWin::Close() {
    FDevice.reset();
    FMaxMessageLength = 0;
    FInitialized = false;
}

std::string THeciWin::GetHeciDevicePath() {
    const auto devices = platform::current().listInterfaces(platform::heci::InterfaceGuid);
    if (!devices) {
        Log("GetHeciDevicePath: error getting class devices");
        return {};
    }
    for (const auto& device : *devices) {
        for (const auto& interface : device.interfaces) {
            if (interface.detailReadable) return interface.path;
            Log("GetHeciDevicePath: error getting interface details");
        }
    }
    return {};
}

bool THeciWin::Initialize() {
    if (FInitialized) return true;
    if (platform::current().osVersion().major <= 4) {
        Log("WARNING: HECI support requires at least Windows 2000!");
        return false;
    }
    const std::string path = GetHeciDevicePath();
    if (path.empty()) return false;
    auto opened = platform::current().openDevice(path);
    if (!opened.device) {
        Log("Error opening device");
        return false;
    }
    FDevice = std::move(opened.device);
    FInitialized = true;
    std::array<std::uint8_t, 5> version{};
    if (DoIoctl(IoctlHeciVersion, {}, version) != 5) {
        Log("HECI returned a bad version structure");
    } else {
        FVersion = {version[0], version[1], version[2], static_cast<std::uint16_t>(version[3] | version[4] << 8)};
        Log(Format("Found HECI version %d.%d.%d.%d", {FVersion.Major, FVersion.Minor, FVersion.Hotfix, FVersion.Build}));
        std::array<std::uint8_t, 5> properties{};
        if (DoIoctl(IoctlHeciConnect, FClientGuid, properties) == 5) {
            FMaxMessageLength = properties[0] | properties[1] << 8 | properties[2] << 16 |
                                static_cast<std::uint32_t>(properties[3]) << 24;
            return true;
        }
        Log("HECI returned a bad properties structure");
    }
    Close();
    return false;
}

int THeciWin::DoIoctl(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
    if (!FInitialized || !FDevice) return -1;
    std::uint32_t returned = 0;
    // The device bounds the request itself; a refusal carries the system's code.
    if (!FDevice->control(code, input, output, returned)) {
        Log(Format("DoIoctl : DeviceIoControl returned error $%.8x", {FDevice->lastError()}));
        return -1;
    }
    return static_cast<int>(returned);
}

int THeciWin::Transfer(const char* name, bool sending, std::span<std::uint8_t> buffer, std::uint32_t timeoutMs) {
    using Status = platform::Device::TransferStatus;
    if (!FDevice) {
        // ERROR_INVALID_HANDLE: the connection is closed.
        Log(Format("%s error 1 (LastError=$%.8x)", {name, 6u}));
        return -1;
    }
    const auto result = sending ? FDevice->write(buffer, timeoutMs) : FDevice->read(buffer, timeoutMs);
    if (result.status == Status::TimedOut) {
        Log(Format("%s timeout", {name}));
        return 0;
    }
    if (result.status == Status::Failed) {
        Log(Format("%s error 1 (LastError=$%.8x)", {name, result.error}));
        Close();
        return -1;
    }
    return static_cast<int>(result.count);
}

int THeciWin::SendMessage(std::span<const std::uint8_t> buffer, std::uint32_t timeoutMs) {
    // The write only reads the buffer.
    return Transfer("SendMessage", true, {const_cast<std::uint8_t*>(buffer.data()), buffer.size()}, timeoutMs);
}

int THeciWin::ReceiveMessage(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs) {
    return Transfer("ReceiveMessage", false, buffer, timeoutMs);
}
