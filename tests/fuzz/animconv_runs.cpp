#include "animconv_runs.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "bmp_writer.h"
#include "convert/messages.h"

namespace runs {

pid_t start(const std::string& program, const std::vector<std::string>& arguments,
            const std::string& consolePath, const std::vector<std::string>& environment,
            std::uint64_t fileSizeLimit) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int console = ::open(consolePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (console < 0 || ::dup2(console, STDOUT_FILENO) < 0) {
            ::_exit(125);
        }
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        if (fileSizeLimit != 0 && ::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            ::_exit(124);
        }
        for (const auto& entry : environment) {
            ::putenv(const_cast<char*>(entry.c_str()));
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(126);
    }
    return child;
}

Outcome finish(pid_t process, const std::string& consolePath) {
    int status = 0;
    Outcome outcome;
    if (process > 0 && ::waitpid(process, &status, 0) == process && WIFEXITED(status)) {
        outcome.status = WEXITSTATUS(status);
    }
    const Bytes console = readAll(consolePath);
    outcome.console.assign(console.begin(), console.end());
    return outcome;
}

Outcome run(const std::string& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& environment, std::uint64_t fileSizeLimit) {
    const ScratchFolder folder;
    const std::string consolePath = (folder.path / "console").string();
    return finish(start(program, arguments, consolePath, environment, fileSizeLimit), consolePath);
}

Bytes readAll(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeAll(const std::filesystem::path& path, const Bytes& bytes) {
    bmpwriter::writeFile(path.string(), bytes);
}

Bytes noisyFrame(unsigned seed) {
    std::vector<bmpwriter::Bgr> colours(190 * 170);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const auto level = static_cast<std::uint8_t>(((i + seed) % 2) * 255);
        colours[i] = bmpwriter::Bgr{level, static_cast<std::uint8_t>(seed * 51 % 256), level};
    }
    return bmpwriter::directBmp(190, 170, colours);
}

std::string converting(const std::string& inputPath) {
    std::string text{animconv::messages::kConverting};
    text.replace(text.find("%s"), 2, inputPath);
    text.replace(text.find('\n'), 1, "\r\n");
    return text;
}

std::string done() {
    return lineMessage(animconv::messages::kDone);
}

std::string lineMessage(std::string_view text) {
    return std::string{text} + "\r\n";
}

ScratchFolder::ScratchFolder() {
    static std::atomic<unsigned> made{0};
    path = std::filesystem::temp_directory_path() /
           ("animconv-robustness-" + std::to_string(::getpid()) + "-" + std::to_string(made++));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

}  // namespace runs
