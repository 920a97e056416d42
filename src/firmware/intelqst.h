#pragma once
// The Quiet System Technology message protocol, first generation: a 5-byte
// header {command, payload length (16), reply length (16)} and fixed-size
// replies that start with a status byte. Both generations are described by
// one table (TQSTGeneration) that the access object is driven by.

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/heci.h"

// {6B5205B9-8185-4519-B889-D98724B58607}, in the stored byte order.
inline constexpr platform::Guid QSTClientGuid{0xB9, 0x05, 0x52, 0x6B, 0x85, 0x81, 0x19, 0x45,
                                              0xB8, 0x89, 0xD9, 0x87, 0x24, 0xB5, 0x86, 0x07};
inline constexpr std::uint32_t QSTSendTimeoutMs = 3000;
inline constexpr std::uint32_t QSTReceiveTimeoutMs = 2000;

using TQSTLog = std::vector<std::string>;
using TQSTUsageName = std::string (*)(int code);

// One monitor mask of the configuration reply.
struct TQSTMask {
    int offset;  // byte of the reply
    int bytes;
    int bits;  // how many of its bits name records
    const char* line;
};

// What differs between the generations; everything else is shared.
struct TQSTGeneration {
    const char* className;  // as the resume lines name it
    int headerSize;         // 5, or 6 with the index byte
    bool indexInHeader;     // else the index is added to the command
    std::uint8_t config, temps, tempConfig, fans, fanConfig, volts, voltConfig, pwms, pwmConfig, setDuty, setAuto;
    int configReply;
    int tempRecords, fanRecords, voltRecords, pwmRecords;
    TQSTMask tempMask, voltMask, fanMask, tempResp, pwmMask;
    TQSTUsageName tempName, fanName, voltName, pwmName;
};

const TQSTGeneration& QST1Generation();

// Builds a request of either generation.
std::vector<std::uint8_t> QSTRequest(const TQSTGeneration& g, std::uint8_t command, std::uint8_t index,
                                     const std::vector<std::uint8_t>& payload, std::uint16_t replyLength);

// Sends a request (header and payload) and receives exactly the reply length
// its header asks for; error lines go to `log` when one is given.
bool QSTExchange(THeciWin& heci, const std::vector<std::uint8_t>& request, std::uint16_t replyLength,
                 std::vector<std::uint8_t>& reply, TQSTLog* log);
// First generation: the request carries its 5-byte header.
bool QSTCommand(THeciWin& heci, const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply, TQSTLog* log);
bool QSTSimpleCommand(THeciWin& heci, std::uint8_t command, std::vector<std::uint8_t>& reply, TQSTLog* log,
                      std::uint16_t replyLength);

std::string QSTTempUsageName(int code);
std::string QSTFanUsageName(int code);
std::string QSTVoltUsageName(int code);
std::string QSTControllerUsageName(int code);

// The name at `code`, or the fallback picture with the code.
std::string QSTUsageName(const std::vector<const char*>& names, int code, const char* fallback);
