#include "firmware/intelqst2.h"

namespace {

const std::vector<const char*> QST2TempNames{
    "Unknown",   "CPU core",     "CPU die",       "ICH", "G/MCH",     "Voltage regulator", "Memory",    "Motherboard", "System",
    "CPU inlet", "System inlet", "System outlet", "PSU", "PSU inlet", "PSU outlet",        "Hard disk", "GPU",         "IOH",
    "PCH"};
const std::vector<const char*> QST2FanNames{"Unknown",    "CPU",       "CPU system", "MCH", "Voltage regulator",
                                        "Chassis",    "Chassis inlet", "Chassis outlet", "PSU", "PSU inlet",
                                        "PSU outlet", "Hard disk", "GPU",        "AUX", "IOH", "PCH"};
const std::vector<const char*> QST2VoltNames{"Unknown",   "+12V",      "-12V",      "+5V",       "+5V backup", "-5V",
                                         "+3.3V",     "+2.5V",     "+1.5V",     "CPU1 Vccp", "CPU2 Vccp",  "CPU3 Vccp",
                                         "CPU4 Vccp", "PSU input", "MCH Vcc",   "+3.3V SB",  "CPU Vtt",    "+1.8V",
                                         "PCH Vcc"};

}  // namespace

std::string QST2TempUsageName(int code) { return QSTUsageName(QST2TempNames, code, "Unknown temperature %d"); }
std::string QST2FanUsageName(int code) { return QSTUsageName(QST2FanNames, code, "Unknown fan %d"); }
std::string QST2VoltUsageName(int code) { return QSTUsageName(QST2VoltNames, code, "Unknown voltage %d"); }

const TQSTGeneration& QST2Generation() {
    static const TQSTGeneration g{
        "TCVIntelQST2", 6, true,
        0x03, 0x0D, 0x0E, 0x12, 0x13, 0x18, 0x19, 0x1E, 0x1F, 0x20, 0x21,
        25, 32, 32, 32, 32,
        {1, 4, 32, "  config.TempMons=$%.8x"}, {9, 4, 32, "  config.VoltMons=$%.8x"}, {5, 4, 32, "  config.FanMons =$%.8x"},
        {17, 4, 0, "  config.TempResp=$%.8x"}, {21, 4, 32, "  config.FanCtrls=$%.8x"},
        QST2TempUsageName, QST2FanUsageName, QST2VoltUsageName, QSTControllerUsageName};
    return g;
}

bool QST2Command(THeciWin& heci, const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply, TQSTLog* log) {
    if (request.size() < 6) return false;
    return QSTExchange(heci, request, static_cast<std::uint16_t>(request[4] | request[5] << 8), reply, log);
}

bool QST2SimpleCommand(THeciWin& heci, std::uint8_t command, std::uint8_t index, TQSTLog* log, std::uint16_t replyLength,
                       std::vector<std::uint8_t>& reply) {
    return QST2Command(heci, QSTRequest(QST2Generation(), command, index, {}, replyLength), reply, log);
}
