#pragma once
// The Quiet System Technology message protocol, second generation: a 6-byte
// header {command, index, payload length (16), reply length (16)} addressing
// up to 32 monitors of each kind.

#include "firmware/intelqst.h"

const TQSTGeneration& QST2Generation();

// The request carries its 6-byte header.
bool QST2Command(THeciWin& heci, const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply, TQSTLog* log);
bool QST2SimpleCommand(THeciWin& heci, std::uint8_t command, std::uint8_t index, TQSTLog* log, std::uint16_t replyLength,
                       std::vector<std::uint8_t>& reply);

std::string QST2TempUsageName(int code);
std::string QST2FanUsageName(int code);
std::string QST2VoltUsageName(int code);
