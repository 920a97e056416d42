#pragma once
// Where a backend's own remarks about the machine go (a refused route and the
// system's reason, ports a kernel driver holds). The platform sits below the
// trace, so the program points this at its trace once; until then remarks are
// dropped.

#include <string>

namespace platform {

using TraceSink = void (*)(const std::string& line);

void setTraceSink(TraceSink sink);
void traceLine(const std::string& line);

}  // namespace platform
