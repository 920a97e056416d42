#pragma once
// The notebook embedded-controller probes: the machine's maker picks one,
// which evaluates the controller's methods and adds the Sony or Asus notebook
// sensor when the expected answers come back (HP and Lenovo only trace).

#include <string>

#include "detect/cvdetectcontext.h"
#include "firmware/cvacpi.h"

namespace platform {
class Device;
}
class TLogSinks;
struct TAcpiData;
struct TSDDevice;

void ExamineEmbeddedController(TDetectionContext& context, const TSDDevice& device, const TAcpiData& data);

void ProbeSonyEC(TDetectionContext& context, const TAcpiData& data);
void ProbeAsusEC(TDetectionContext& context, const TAcpiData& data);
void ProbeHPEC(TDetectionContext& context, const TAcpiData& data);
void ProbeLenovoEC(TDetectionContext& context, const TAcpiData& data);

// One traced evaluation; its errors reach the caller.
void EvalAndLog(TLogSinks& log, platform::Device& handle, const std::string& method, const TAcpiVariantArray& args,
                TAcpiVariantArray& results, bool verbose, bool useEx);
// Exactly one result, an integer.
bool IsSingleUnsignedResult(const TAcpiVariantArray& results);
