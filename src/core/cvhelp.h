#pragma once
// Help by context number: the help is a folder of HTML pages next to the
// program, one page per context number, opened through the desktop.

#include <functional>
#include <string>

class THelpLink {
public:
    // Opens a document through the desktop; false when it could not.
    using TOpener = std::function<bool(const std::string& path)>;

    static constexpr int HelpContext = 1;
    static constexpr int HelpContextPopup = 8;

    // Sets HelpFilePath; the folder need not exist.
    void LinkHelpFile(TOpener opener);
    // Context requests open their page and answer CallHelp False; every
    // command answers True.
    bool HelpHandler(int command, int data, bool& callHelp);
    std::string PageFor(int context) const;

    std::string HelpFilePath;

private:
    TOpener opener_;
};
