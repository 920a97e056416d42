#include "chips/cvheuristicsensor.h"

#include <algorithm>
#include <exception>

#include "base/cvformat.h"
#include "chips/cvchipaccess.h"
#include "core/cvtext.h"

using cvformat::Format;

TUnusedSensor::TUnusedSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                             std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "Unused chip";
    FinishReadingSetup();
}

void TUnusedSensor::SetName(const std::string& newName) { FChipName = newName; }

THeuristicSensor::THeuristicSensor(TLink* link, std::uint32_t address, std::uint8_t chipCode, TSensorLogEvent onLog,
                                   std::string boardVendor, std::string boardProduct, std::string systemProduct)
    : TSensor(link, address, chipCode, std::move(onLog), std::move(boardVendor), std::move(boardProduct),
              std::move(systemProduct)) {
    FChipName = "HeuristicSensor";
    FDisplayName = FChipName;
    FFans.resize(1);
    FFans[0].Name = "Cycles";
    FinishReadingSetup();
}

void THeuristicSensor::THistory::Add(std::uint8_t value) {
    if (!recent.empty() && recent.back() == value) return;
    ++samples;
    seen.set(value);
    recent.push_back(value);
    if (recent.size() > RecentLimit) recent.pop_front();
}

void THeuristicSensor::ReadFansInternal(std::span<double> values) {
    ++FSampleCount;
    values[0] = FSampleCount;
    try {
        TChipAccess access(FLink);
        for (int reg = 0; reg < 256; ++reg) {
            if (const auto value = ReadChipByte(FLink, static_cast<int>(FAddress), static_cast<std::uint8_t>(reg)))
                FHistory[static_cast<std::size_t>(reg)].Add(*value);
        }
    } catch (const std::exception& e) {
        Log(Format("Error in READFANSINTERNAL for Heuristic Sensor at %d (%s)", {FAddress, e.what()}), 1);
    }
}

std::string THeuristicSensor::GetDebugInfoInternal() {
    std::vector<std::string> lines;
    for (int reg = 0; reg < 256; ++reg) {
        const THistory& history = FHistory[static_cast<std::size_t>(reg)];
        int minimum = 255;
        int maximum = 0;
        std::string seen;
        for (int v = 0; v < 256; ++v) {
            if (!history.seen[static_cast<std::size_t>(v)]) continue;
            minimum = std::min(minimum, v);
            maximum = std::max(maximum, v);
            seen += Format("%.2x ", {v});
        }
        lines.push_back(Format("  [%.2x] samples=%4d  min=%.2x  max=%.2x  values=%s",
                               {reg, history.samples, minimum, maximum, Trim(seen)}));
        if (maximum != minimum) {
            // Once older changes were forgotten, the line says how many of the count it shows.
            const auto kept = static_cast<std::int64_t>(history.recent.size());
            std::string sequence = kept < history.samples ? Format("(last %d of %d) ", {kept, history.samples}) : "";
            for (const std::uint8_t v : history.recent) sequence += Format("%.2x ", {static_cast<int>(v)});
            lines.push_back("   -> " + Trim(sequence));
        }
    }
    std::string text;
    for (const auto& line : lines) text += (text.empty() ? "" : "\r\n") + line;
    return text;
}
