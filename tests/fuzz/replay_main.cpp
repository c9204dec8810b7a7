// Runs a fuzz target over files and folders of inputs without libFuzzer, so that every ordinary build
// replays the seed corpus and the crashers found so far.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

void replayFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    // An exact-size heap copy, so that a read one past the end is caught by the sanitizers.
    std::vector<std::uint8_t> input(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path argument{argv[i]};
        if (!fs::is_directory(argument)) {
            files.push_back(argument);
            continue;
        }
        for (const auto& entry : fs::directory_iterator(argument)) {
            // Dot files keep otherwise empty folders in the repository.
            if (entry.is_regular_file() && entry.path().filename().string().front() != '.') {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        // Named first, so that the input behind an abort is known.
        std::printf("%s\n", path.string().c_str());
        std::fflush(stdout);
        replayFile(path);
    }
    std::printf("replayed %zu inputs\n", files.size());
    return files.empty() ? 1 : 0;
}
