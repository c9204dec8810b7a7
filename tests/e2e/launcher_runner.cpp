#include "launcher_runner.h"

#include <iconv.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "posix_runner.h"
#include "raw_command_line.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The launcher's report: "exit=XXXXXXXX", "stderr=N" and "acp=N", one per line.
bool readReport(const std::string& report, std::uint32_t& status, unsigned& codePage) {
    std::istringstream lines(report);
    std::string line;
    bool haveStatus = false;
    bool haveCodePage = false;
    while (std::getline(lines, line)) {
        if (line.rfind("exit=", 0) == 0) {
            status = static_cast<std::uint32_t>(std::stoul(line.substr(5), nullptr, 16));
            haveStatus = true;
        } else if (line.rfind("acp=", 0) == 0) {
            codePage = static_cast<unsigned>(std::stoul(line.substr(4)));
            haveCodePage = true;
        }
    }
    return haveStatus && haveCodePage;
}

// The command line and the report live beside the case's folder, not in it: the cases list its entries.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "animconv-launch-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) {
            fs::remove_all(path_, ignored);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

// `text` converted between two character sets, or nothing when a byte does not convert.
std::optional<std::string> convert(const std::string& text, const char* from, const char* to) {
    const iconv_t converter = ::iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in = text;
    std::string out(text.size() * 4 + 8, '\0');
    char* inNext = in.data();
    char* outNext = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    const std::size_t result = ::iconv(converter, &inNext, &inLeft, &outNext, &outLeft);
    ::iconv_close(converter);
    if (result == static_cast<std::size_t>(-1) || inLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

bool isAscii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string LauncherRunner::nameOnDisk(const std::string& name) const {
    if (isAscii(name)) {
        return name;
    }
    return convert(name, "CP932", "UTF-8").value_or(name);
}

// An argument crosses unchanged when it is whole code page 932 characters that convert there and back.
bool LauncherRunner::carriesArguments(const std::vector<std::string>& arguments) const {
    for (const std::string& argument : arguments) {
        if (isAscii(argument)) {
            continue;
        }
        const std::optional<std::string> wide = convert(argument, "CP932", "UTF-16LE");
        if (!wide || convert(*wide, "UTF-16LE", "CP932") != argument) {
            return false;
        }
    }
    return true;
}

ProgramRun LauncherRunner::run(const std::vector<std::string>& arguments, const std::string& folder) const {
    std::vector<std::string> split{argumentZero()};
    split.insert(split.end(), arguments.begin(), arguments.end());
    const std::optional<std::string> line = rawCommandLine(split);
    if (!line) {
        ProgramRun refused;
        refused.statusWidth = statusWidth();
        refused.problem = "an argument holds a double quote, which one command-line string cannot carry";
        return refused;
    }
    return runCommandLine(*line, split, folder);
}

ProgramRun LauncherRunner::runCommandLine(const std::string& line, const std::vector<std::string>&,
                                          const std::string& folder) const {
    ProgramRun result;
    result.statusWidth = statusWidth();
    const ScratchFolder scratch;
    if (scratch.path().empty()) {
        result.problem = "no scratch folder for the launcher";
        return result;
    }
    const fs::path commandLine = scratch.path() / "command-line";
    const fs::path report = scratch.path() / "report";
    std::ofstream(commandLine, std::ios::binary) << line;

    // wine-run.sh LAUNCHER PROGRAM COMMAND_LINE_FILE REPORT_FILE, in the case's folder.
    const PosixRunner wine(wineRun_);
    const ProgramRun launched =
        wine.runWith({launcher_, program_, commandLine.string(), report.string()}, folder, {});
    result.output = launched.output;
    if (!launched.started || !launched.exited || launched.status != 0) {
        result.started = launched.started;
        result.problem = "the launcher under wine failed (" + launched.problem + "): " + launched.errors;
        return result;
    }
    unsigned codePage = 0;
    if (!readReport(readAll(report), result.status, codePage)) {
        result.problem = "the launcher left no report; wine said: " + launched.errors;
        return result;
    }
    if (codePage != 932) {
        result.problem = "the command line crossed code page " + std::to_string(codePage) + ", not 932";
        return result;
    }
    result.started = true;
    result.exited = true;
    result.errors = readAll(scratch.path() / "report.stderr");
    return result;
}

}  // namespace e2e
