#include "core/cvhelp.h"

#include <filesystem>
#include <system_error>

#include "base/cvformat.h"
#include "core/cvvars.h"

using cvformat::Format;

void THelpLink::LinkHelpFile(TOpener opener) {
    opener_ = std::move(opener);
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(ProgramDir + "help", ec);
    HelpFilePath = ec ? ProgramDir + "help" : absolute.string();
}

std::string THelpLink::PageFor(int context) const { return HelpFilePath + Format("/%d.html", {context}); }

bool THelpLink::HelpHandler(int command, int data, bool& callHelp) {
    if (command != HelpContext && command != HelpContextPopup) return true;
    callHelp = false;
    const std::string page = PageFor(data);
    std::error_code ec;
    if (!opener_ || !std::filesystem::exists(page, ec) || !opener_(page))
        WriteDebugLog(Format("Unable to open help page %s", {page}));
    return true;
}
