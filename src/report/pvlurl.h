#pragma once
// Opens an address in the user's default browser: the command the system
// registry names for ".htm" documents, else the desktop's own handler.

#include <stdexcept>
#include <string>
#include <vector>

class EBrowserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How the browser's window is shown; kept for callers, the desktop decides here.
enum class TUrlShowCmd {
    ssHide,
    ssMaximize,
    ssMinimize,
    ssRestore,
    ssShow,
    ssShowDefault,
    ssShowMaximized,
    ssShowMinimized,
    ssShowMinNoActivate,
    ssShowNA,
    ssShowNoActivate,
    ssShowNormal,
};

// The program and arguments that open url: the registered open command cut
// before its "%1" placeholder (a quoted one first, its quote included) and
// split into words, then url whole as the last argument, whatever it holds.
std::vector<std::string> BrowserCommand(const std::string& openCommand, const std::string& url);
// A command line split into the program and its arguments: blanks separate,
// double quotes group and are dropped.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

class TpvlUrl {
public:
    std::string Url;
    TUrlShowCmd UrlShowCommand = TUrlShowCmd::ssShowDefault;

    // Throws EBrowserError "Couldn't launch default browser" when nothing starts.
    void Execute() const;
};
