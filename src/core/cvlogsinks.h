#pragma once
// The main window's log sinks: each routes a message to the debug trace
// and/or the window's two log boxes (the readings page's and the information
// page's). The window supplies the boxes; until it does, box lines are dropped.

#include <cstdint>
#include <string>
#include <vector>

class TSensor;
class TLink;

class TLogBoxes {
public:
    // Each box keeps its last lines only: a failing event writes a line
    // every second for the whole run. The trace keeps everything.
    static constexpr std::size_t MaxLines = 10000;

    virtual ~TLogBoxes() = default;
    virtual void AddReadingsLine(const std::string& line) = 0;  // the memo `info`
    virtual void AddInfoLine(const std::string& line) = 0;      // the memo `DebugInfo`
};

// Keeps the lines, for runs without a window and for tests.
class TLogBoxRecorder : public TLogBoxes {
public:
    void AddReadingsLine(const std::string& line) override { Append(Readings, line); }
    void AddInfoLine(const std::string& line) override { Append(Info, line); }
    std::vector<std::string> Readings;
    std::vector<std::string> Info;

private:
    static void Append(std::vector<std::string>& box, const std::string& line) {
        if (box.size() >= MaxLines) box.erase(box.begin(), box.begin() + static_cast<long>(box.size() - MaxLines + 1));
        box.push_back(line);
    }
};

class TLogSinks {
public:
    void SetBoxes(TLogBoxes* boxes) { boxes_ = boxes; }

    // Both boxes, readings page first.
    void LogMessage(const std::string& msg);
    // Both boxes when ToBoth, else the information page's only.
    void LogMessageEx(const std::string& msg, bool toBoth);
    // The debug trace, then the information page's box, and the readings
    // page's too for a non-zero level.
    void TraceMessage(const std::string& msg, int level);
    void TraceDebug(const std::string& msg);
    // The log event of every sensor.
    void SensorLog(const TSensor& sender, const std::string& msg, int level);
    // The log event of every link.
    void LinkLog(const TLink& sender, const std::string& msg);
    // The log event of the clock-generator chip: only lines flagged to show
    // count, and the first ClockLogLimit of the run reach the information box.
    void ClockLog(const std::string& chipName, std::uint32_t address, const std::string& msg, bool show);

    static constexpr int ClockLogLimit = 20;
    int ClockLogCount() const { return clockLogCount_; }

private:
    TLogBoxes* boxes_ = nullptr;
    int clockLogCount_ = 0;
};
