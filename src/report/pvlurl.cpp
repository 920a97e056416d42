#include "report/pvlurl.h"

#include <optional>

#include "platform/desktop.h"
#include "platform/platform.h"

namespace {

constexpr const char* HtmKey = "\\SOFTWARE\\Classes\\.htm";
constexpr const char* OpenCommandKey = "\\shell\\open\\command";

// The registry's open command for ".htm" documents, when both keys hold one.
std::optional<std::string> RegisteredOpenCommand() {
    auto& registry = platform::current().systemRegistry();
    const auto documentClass = registry.readString(HtmKey, "");
    if (!documentClass || documentClass->empty()) return std::nullopt;
    auto command = registry.readString("\\SOFTWARE\\Classes\\" + *documentClass + OpenCommandKey, "");
    if (!command || command->empty()) return std::nullopt;
    return command;
}

}  // namespace

std::vector<std::string> BrowserCommand(const std::string& openCommand, const std::string& url) {
    std::string command = openCommand;
    if (const auto quoted = command.find("\"%1"); quoted != std::string::npos) {
        command.erase(quoted);
    } else if (const auto bare = command.find("%1"); bare != std::string::npos) {
        command.erase(bare);
    }
    std::vector<std::string> words = SplitCommandLine(command);
    words.push_back(url);
    return words;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

void TpvlUrl::Execute() const {
    auto& desktop = platform::current().desktop();
    bool started = false;
    if (const auto command = RegisteredOpenCommand()) {
        std::vector<std::string> words = BrowserCommand(*command, Url);
        // A command of blanks only names no program.
        if (words.size() > 1) {
            const std::string program = words.front();
            words.erase(words.begin());
            started = desktop.startProgram(program, words, "");
        }
    } else {
        started = desktop.openDocument(Url);
    }
    if (!started) throw EBrowserError("Couldn't launch default browser");
}
