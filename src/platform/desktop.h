#pragma once
// What the program asks of the user's desktop session: starting a program,
// opening a document with its handler, a tone, a balloon at the tray icon.
// Nothing here goes through a shell.

#include <functional>
#include <string>
#include <vector>

namespace platform {

enum class BalloonIcon { None, Info, Warning, Error };

// What shows a balloon: the main window's tray icon, once there is one.
using BalloonPresenter =
    std::function<void(const std::string& title, const std::string& text, unsigned timeoutMs, BalloonIcon icon)>;

class Desktop {
public:
    virtual ~Desktop() = default;
    // Starts program (searched on the path when it names no folder) with the
    // arguments as given, in workingDir when not empty; false when it did not start.
    virtual bool startProgram(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& workingDir) = 0;
    // Opens a file or address with the handler the desktop has for it.
    virtual bool openDocument(const std::string& document) = 0;
    virtual void beep(unsigned frequencyHz, unsigned durationMs) = 0;
    virtual void showBalloon(const std::string& title, const std::string& text, unsigned timeoutMs,
                             BalloonIcon icon) = 0;

    // The window installs its tray icon here and removes it (empty) when it goes.
    void setBalloonPresenter(BalloonPresenter presenter) { presenter_ = std::move(presenter); }

protected:
    void presentBalloon(const std::string& title, const std::string& text, unsigned timeoutMs,
                        BalloonIcon icon) const {
        if (presenter_) presenter_(title, text, timeoutMs, icon);
    }

private:
    BalloonPresenter presenter_;
};

// A session without a desktop: nothing starts, opens or shows.
class NoDesktop : public Desktop {
public:
    bool startProgram(const std::string&, const std::vector<std::string>&, const std::string&) override {
        return false;
    }
    bool openDocument(const std::string&) override { return false; }
    void beep(unsigned, unsigned) override {}
    void showBalloon(const std::string&, const std::string&, unsigned, BalloonIcon) override {}
};

}  // namespace platform
