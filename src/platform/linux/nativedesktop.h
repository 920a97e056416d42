#pragma once
// The desktop session of a Linux machine: programs start through posix_spawn
// with an argument vector, documents open through xdg-open, a tone is the
// terminal bell; balloons go to the window's tray icon when it has installed one.

#include "platform/desktop.h"

namespace platform::native {

class NativeDesktop : public Desktop {
public:
    bool startProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& workingDir) override;
    bool openDocument(const std::string& document) override;
    void beep(unsigned frequencyHz, unsigned durationMs) override;
    void showBalloon(const std::string& title, const std::string& text, unsigned timeoutMs,
                     BalloonIcon icon) override {
        presentBalloon(title, text, timeoutMs, icon);
    }
};

}  // namespace platform::native
