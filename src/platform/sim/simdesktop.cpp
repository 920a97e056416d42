#include "platform/sim/simdesktop.h"

namespace platform::sim {

bool SimDesktop::startProgram(const std::string& program, const std::vector<std::string>& arguments,
                              const std::string& workingDir) {
    programs.push_back({program, arguments, workingDir});
    return programsStart;
}

bool SimDesktop::openDocument(const std::string& document) {
    documents.push_back(document);
    return documentsOpen;
}

}  // namespace platform::sim
