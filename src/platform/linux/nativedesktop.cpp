#include "platform/linux/nativedesktop.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

namespace platform::native {

bool NativeDesktop::startProgram(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::string& workingDir) {
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!workingDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) return false;
    // Reap the child whenever it ends, so none is left behind as a zombie.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

bool NativeDesktop::openDocument(const std::string& document) { return startProgram("xdg-open", {document}, {}); }

void NativeDesktop::beep(unsigned, unsigned) {
    if (::isatty(STDERR_FILENO)) (void)!::write(STDERR_FILENO, "\a", 1);
}

}  // namespace platform::native
