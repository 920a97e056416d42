#pragma once
// The simulated desktop session: records every request so that tests can check
// what would have been started, opened, sounded or shown; balloons also reach
// the window's tray icon when one is installed.

#include <string>
#include <vector>

#include "platform/desktop.h"

namespace platform::sim {

struct StartedProgram {
    std::string program;
    std::vector<std::string> arguments;
    std::string workingDir;
    bool operator==(const StartedProgram&) const = default;
};

struct Tone {
    unsigned frequencyHz = 0;
    unsigned durationMs = 0;
    bool operator==(const Tone&) const = default;
};

struct Balloon {
    std::string title;
    std::string text;
    unsigned timeoutMs = 0;
    BalloonIcon icon = BalloonIcon::None;
    bool operator==(const Balloon&) const = default;
};

class SimDesktop : public Desktop {
public:
    bool startProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingDir) override;
    bool openDocument(const std::string& document) override;
    void beep(unsigned frequencyHz, unsigned durationMs) override { tones.push_back({frequencyHz, durationMs}); }
    void showBalloon(const std::string& title, const std::string& text, unsigned timeoutMs,
                     BalloonIcon icon) override {
        balloons.push_back({title, text, timeoutMs, icon});
        presentBalloon(title, text, timeoutMs, icon);
    }

    // What a request answers; every request is recorded either way.
    bool programsStart = true;
    bool documentsOpen = true;

    std::vector<StartedProgram> programs;
    std::vector<std::string> documents;
    std::vector<Tone> tones;
    std::vector<Balloon> balloons;
};

}  // namespace platform::sim
