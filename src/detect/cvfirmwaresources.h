#pragma once
// Sensors whose readings come from firmware or from nowhere: Intel QST behind
// the HECI interface, the uGuru microcontroller and the test-mode sensor.

#include "detect/cvdetectcontext.h"

class TCVIntelQST;
struct THeciVersion;

void ProbeIntelQST(TDetectionContext& context);
// Needs context.Sources.UGuru.
void ProbeUGuru(TDetectionContext& context);
// Adds the test sensor when the marker file is in context.Sources.MarkerFolder.
void ProbeDummySensors(TDetectionContext& context);

// The HECI interface version; all zeros when the QST client cannot be opened.
THeciVersion ReadHeciVersion();
// Each answers whether it added a sensor; the global object of its generation
// is freed again when this call made it and it delivered no data.
bool TryQST1(TDetectionContext& context);
bool TryQST2(TDetectionContext& context);
// The readings of a configured object and its sensor on the HECI link.
bool ReportQST1(TDetectionContext& context, TCVIntelQST& qst);
bool ReportQST2(TDetectionContext& context, TCVIntelQST& qst);
