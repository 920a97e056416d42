#pragma once
// The desktop session of a Linux machine: programs start through posix_spawn
// with an argument vector, documents open through xdg-open, a tone is the
// terminal bell; balloons belong to the window's tray icon, so none here.

#include "platform/desktop.h"

namespace platform::native {

class NativeDesktop : public Desktop {
public:
    bool startProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingDir) override;
    bool openDocument(const std::string& document) override;
    void beep(unsigned frequencyHz, unsigned durationMs) override;
    void showBalloon(const std::string&, const std::string&, unsigned, BalloonIcon) override {}
};

}  // namespace platform::native
