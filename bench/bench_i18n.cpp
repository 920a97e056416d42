// Message look-ups run whenever a form or message is translated: binary
// searches over a table sorted once per fill; a switch costs in proportion
// to a form's lines.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "i18n/sicomp.h"
#include "platform/sim/machine.h"

namespace {

struct TTable {
    explicit TTable(int lines) : scope(machine) {
        lang.SetNumOfLanguages(18);
        for (int i = 0; i < lines; ++i) {
            std::string line = "Msg" + std::to_string(i * 7919 % lines);
            for (int k = 1; k <= 18; ++k) line += '\x01' + ("text " + std::to_string(k) + " of " + std::to_string(i));
            lang.Section(stStrings).push_back(line + '\x01');
        }
        lang.RebuildStringsTables();
    }
    platform::sim::Machine machine;
    platform::ScopedPlatform scope;
    TsiLangRT lang{nullptr};
};

void BM_TextByIdentifier(benchmark::State& state) {
    TTable table(static_cast<int>(state.range(0)));
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.lang.StringsTable().GetTextByIdentifier("msg" + std::to_string(i), 8));
        i = (i + 1) % static_cast<int>(state.range(0));
    }
}
BENCHMARK(BM_TextByIdentifier)->Arg(100)->Arg(10000);

void BM_FillStringsTable(benchmark::State& state) {
    TTable table(static_cast<int>(state.range(0)));
    for (auto _ : state) table.lang.RebuildStringsTables();
}
BENCHMARK(BM_FillStringsTable)->Arg(430);

}  // namespace
