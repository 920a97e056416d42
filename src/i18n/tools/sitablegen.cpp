// Build step: imports the language files into one table per form, each
// column in its language's code page, and writes each form's translation
// component as form data stores it ("TranslationData", and the extended
// items' "ValuesEx"). Any fault stops the build, naming file and key.
//
// sitablegen <language files folder> <output folder> <form class>[:<languages>] ...

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "i18n/sitablegen.h"
#include "platform/factory.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: sitablegen <language files> <output folder> <form class>[:<languages>]...\n");
        return 2;
    }
    try {
        // The components read the user's locale when they are made.
        const std::unique_ptr<platform::Platform> machine = platform::createFromEnvironment();
        platform::ScopedPlatform scope(*machine);
        const TLanguageFiles files = ReadLanguageFiles(argv[1]);
        for (int i = 3; i < argc; ++i) {
            const std::string arg = argv[i];
            const std::size_t colon = arg.find(':');
            const std::string className = arg.substr(0, colon);
            const int languages = colon == std::string::npos ? siconsts::LanguageCount : std::stoi(arg.substr(colon + 1));
            const std::string data = BuildFormData(files, className, languages);
            std::ofstream out(std::filesystem::path(argv[2]) / (className + ".sil"), std::ios::binary | std::ios::trunc);
            if (!out || !(out << data)) throw std::runtime_error(std::string(argv[2]) + ": cannot write " + className + ".sil");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sitablegen: %s\n", e.what());
        return 1;
    }
    return 0;
}
