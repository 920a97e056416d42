#pragma once
// The connection to one client of the Intel management engine through the
// HECI device: finds the device by its interface class, reads the driver's
// version, connects to the client named by its GUID, then exchanges request
// and reply messages with time-outs.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/heci.h"
#include "platform/platform.h"

using THeciLogEvent = std::function<void(const std::string& msg)>;

struct THeciVersion {
    std::uint8_t Major = 0, Minor = 0, Hotfix = 0;
    std::uint16_t Build = 0;
};

inline constexpr std::uint32_t IoctlHeciVersion = platform::heci::VersionCode;
inline constexpr std::uint32_t IoctlHeciConnect = platform::heci::ConnectCode;

class THeciWin {
public:
    THeciWin(const platform::Guid& clientGuid, THeciLogEvent onLog);
    ~THeciWin();
    THeciWin(const THeciWin&) = delete;
    THeciWin& operator=(const THeciWin&) = delete;

    bool Initialize();
    void Close();
    bool IsPresent() { return !GetHeciDevicePath().empty(); }
    // The path of the first HECI interface whose detail reads; empty when none.
    std::string GetHeciDevicePath();
    // Bytes returned; -1 on failure or when not initialised.
    int DoIoctl(std::uint32_t code, std::span<const std::uint8_t> input, std::span<std::uint8_t> output);
    // Bytes moved; 0 on time-out (the connection stays); -1 on error (the
    // connection is closed).
    int SendMessage(std::span<const std::uint8_t> buffer, std::uint32_t timeoutMs);
    int ReceiveMessage(std::span<std::uint8_t> buffer, std::uint32_t timeoutMs);

    bool Initialized() const { return FInitialized; }
    std::uint32_t MaxMessageLength() const { return FMaxMessageLength; }
    const THeciVersion& Version() const { return FVersion; }

private:
    void Log(const std::string& msg) const;
    int Transfer(const char* name, bool sending, std::span<std::uint8_t> buffer, std::uint32_t timeoutMs);

    std::unique_ptr<platform::Device> FDevice;
    platform::Guid FClientGuid;
    bool FInitialized = false;
    std::uint32_t FMaxMessageLength = 0;
    THeciVersion FVersion;
    THeciLogEvent FOnLog;
};
