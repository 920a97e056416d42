// Replays stored inputs through a fuzz target without libFuzzer, so the
// normal test build compiles every harness and re-runs every finding. The
// arguments are files or folders of inputs; the empty input always runs.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::filesystem::path> InputsOf(const std::filesystem::path& place) {
    std::vector<std::filesystem::path> inputs;
    if (std::filesystem::is_directory(place)) {
        for (const auto& entry : std::filesystem::directory_iterator(place)) {
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        }
        std::sort(inputs.begin(), inputs.end());
    } else if (std::filesystem::is_regular_file(place)) {
        inputs.push_back(place);
    }
    return inputs;
}

// libFuzzer never hands a target a null pointer, not even for no bytes.
void Run(const std::vector<std::uint8_t>& bytes) {
    static const std::uint8_t none = 0;
    LLVMFuzzerTestOneInput(bytes.empty() ? &none : bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
    Run({});
    std::size_t replayed = 1;
    for (int i = 1; i < argc; ++i) {
        for (const auto& input : InputsOf(argv[i])) {
            std::printf("%s\n", input.c_str());
            std::fflush(stdout);  // a crash names the input that caused it
            Run(ReadAll(input));
            ++replayed;
        }
    }
    std::printf("%zu inputs replayed\n", replayed);
    return 0;
}
