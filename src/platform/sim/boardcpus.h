#pragma once
// Board sections for processors: the models that describe a processor once,
// and what each logical processor adds to the "cpus" entry.

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;
struct SimCpu;

// {"core2": {"cpuid": {...}, "msrs": {...}, "tscMHz": 2666}}: processors by
// name. "cpuid" maps a leaf ("0x1") or a leaf and subleaf ("0x4/1") to its
// registers {"eax": "0x6FB", "ebx": ..., "ecx": ..., "edx": ...} (absent ones
// 0), or to a list of them answered in turn. "msrs" as in "cpus".
void loadCpuModelsSection(const BoardNode& section, Machine& machine);
// One "cpus" entry's "model" (a name in "cpuModels", or "file.json:name" for
// one of another board file in the same folder) with its "apicId",
// "cpuid" (leaves of its own, over the model's), "pinnable" (default true)
// and "tscMHz".
void loadCpuEntry(const BoardNode& entry, Machine& machine, SimCpu& cpu);
// {"phases": [{"fromMs": 0, "idle": [0.9, 0.25]}, ...]}: from each phase's
// time on, processor i is idle for idle[i] of the time; the length of the
// list is the number of processors online then.
void loadCpuLoadSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
