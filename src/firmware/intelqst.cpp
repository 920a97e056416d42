#include "firmware/intelqst.h"

#include <algorithm>

#include "base/cvformat.h"

using cvformat::Format;

namespace {

const std::vector<const char*> TempNames{
    "Unknown",  "CPU core",     "CPU die",       "ICH", "MCH",       "Voltage regulator", "Memory", "Motherboard", "System",
    "CPU inlet", "System inlet", "System outlet", "PSU", "PSU inlet", "PSU outlet",        "Hard disk", "GPU"};
const std::vector<const char*> FanNames{"Unknown",   "CPU",     "CPU system", "MCH", "Voltage regulator",
                                        "Chassis",   "Chassis inlet", "Chassis outlet", "PSU", "PSU inlet",
                                        "PSU outlet", "Hard disk", "GPU",     "AUX"};
const std::vector<const char*> VoltNames{"Unknown",   "+12V",      "-12V",      "+5V",       "+5V backup",
                                         "-5V",       "+3.3V",     "+2.5V",     "+1.5V",     "CPU1 Vccp",
                                         "CPU2 Vccp", "CPU3 Vccp", "CPU4 Vccp", "PSU input", "MCH Vcc"};
const std::vector<const char*> ControllerNames{
    "Unknown",          "Processor",           "Processor/System",    "G/MCH",      "Voltage Regulator",
    "Chassis",          "Chassis Inlet",       "Chassis Outlet",      "Power Supply", "Power Supply Inlet",
    "Power Supply Outlet", "Hard Drive",       "Graphics Processor",  "Auxiliary"};

}  // namespace

std::string QSTUsageName(const std::vector<const char*>& names, int code, const char* fallback) {
    if (code >= 0 && code < static_cast<int>(names.size())) return names[static_cast<std::size_t>(code)];
    return Format(fallback, {code});
}

std::string QSTTempUsageName(int code) { return QSTUsageName(TempNames, code, "Unknown temperature %d"); }
std::string QSTFanUsageName(int code) { return QSTUsageName(FanNames, code, "Unknown fan %d"); }
std::string QSTVoltUsageName(int code) { return QSTUsageName(VoltNames, code, "Unknown voltage %d"); }
std::string QSTControllerUsageName(int code) { return QSTUsageName(ControllerNames, code, "Unknown controller %d"); }

const TQSTGeneration& QST1Generation() {
    static const TQSTGeneration g{
        "TCVIntelQST", 5, false,
        0x02, 0x12, 0x13, 0x37, 0x38, 0x58, 0x59, 0x69, 0x6A, 0x72, 0x7A,
        8, 12, 8, 8, 8,
        {1, 2, 12, "  config.TempMons=$%.4x"}, {3, 1, 8, "  config.VoltMons=$%.2x"}, {4, 1, 8, "  config.FanMons =$%.2x"},
        {5, 2, 0, "  config.TempResp=$%.4x"}, {7, 1, 8, "  config.FanCtrl =$%.2x"},
        QSTTempUsageName, QSTFanUsageName, QSTVoltUsageName, QSTControllerUsageName};
    return g;
}

std::vector<std::uint8_t> QSTRequest(const TQSTGeneration& g, std::uint8_t command, std::uint8_t index,
                                     const std::vector<std::uint8_t>& payload, std::uint16_t replyLength) {
    std::vector<std::uint8_t> request{static_cast<std::uint8_t>(g.indexInHeader ? command : command + index)};
    if (g.indexInHeader) request.push_back(index);
    const auto size = static_cast<std::uint16_t>(payload.size());
    for (std::uint16_t v : {size, replyLength}) {
        request.push_back(static_cast<std::uint8_t>(v));
        request.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    request.insert(request.end(), payload.begin(), payload.end());
    return request;
}

bool QSTExchange(THeciWin& heci, const std::vector<std::uint8_t>& request, std::uint16_t replyLength,
                 std::vector<std::uint8_t>& reply, TQSTLog* log) {
    if (heci.SendMessage(request, QSTSendTimeoutMs) != static_cast<int>(request.size())) {
        if (log) log->push_back("Error: returned length does not match command size");
        return false;
    }
    // No reply is longer than its 16-bit length field, whatever the driver announced.
    std::vector<std::uint8_t> buffer(std::min<std::uint32_t>(heci.MaxMessageLength(), 0xFFFF), 0);
    const int received = heci.ReceiveMessage(buffer, QSTReceiveTimeoutMs);
    if (received != replyLength) {
        if (log) log->push_back(Format("Received %d bytes, but expecting %d", {received, static_cast<int>(replyLength)}));
        return false;
    }
    reply.assign(buffer.begin(), buffer.begin() + replyLength);
    return true;
}

bool QSTCommand(THeciWin& heci, const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply, TQSTLog* log) {
    if (request.size() < 5) return false;
    return QSTExchange(heci, request, static_cast<std::uint16_t>(request[3] | request[4] << 8), reply, log);
}

bool QSTSimpleCommand(THeciWin& heci, std::uint8_t command, std::vector<std::uint8_t>& reply, TQSTLog* log,
                      std::uint16_t replyLength) {
    return QSTCommand(heci, QSTRequest(QST1Generation(), command, 0, {}, replyLength), reply, log);
}
