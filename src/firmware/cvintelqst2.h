#pragma once
// Intel Quiet System Technology 2.x: the same access object over the second
// generation's protocol (index in the header, up to 32 monitors of each kind).

#include "firmware/cvintelqst.h"
#include "firmware/intelqst2.h"

using TIntelQST2TempData = TIntelQSTTempData;
using TIntelQST2FanData = TIntelQSTFanData;
using TIntelQST2VoltData = TIntelQSTVoltData;
using TIntelQST2PwmData = TIntelQSTPwmData;
using TIntelQST2TempDatas = TIntelQSTTempDatas;
using TIntelQST2FanDatas = TIntelQSTFanDatas;
using TIntelQST2VoltDatas = TIntelQSTVoltDatas;
using TIntelQST2PwmDatas = TIntelQSTPwmDatas;

class TCVIntelQST2 : public TCVIntelQST {
public:
    TCVIntelQST2() : TCVIntelQST(QST2Generation()) {}
};

extern std::unique_ptr<TCVIntelQST2> IntelQST2;
// Frees both globals (tests).
void ResetIntelQSTGlobals();
