#include "launcher_runner.h"

#include <optional>
#include <sstream>

#include "posix_runner.h"
#include "reference_command_line.h"
#include "text_encoding.h"

namespace e2e {
namespace {

std::string readAll(const std::string& path) {
    const Bytes bytes = readFile(path).value_or(Bytes{});
    return {bytes.begin(), bytes.end()};
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
    return convertText(name, "CP932", "UTF-8").value_or(name);
}

// An argument crosses unchanged when it is whole code page 932 characters that convert there and back.
bool LauncherRunner::carriesArguments(const std::vector<std::string>& arguments) const {
    for (const std::string& argument : arguments) {
        if (isAscii(argument)) {
            continue;
        }
        const std::optional<std::string> wide = convertText(argument, "CP932", "UTF-16LE");
        if (!wide || convertText(*wide, "UTF-16LE", "CP932") != argument) {
            return false;
        }
    }
    return true;
}

ProgramRun LauncherRunner::run(const std::vector<std::string>& arguments, const std::string& folder) const {
    std::vector<std::string> split{argumentZero()};
    split.insert(split.end(), arguments.begin(), arguments.end());
    const std::optional<std::string> line = rawCommandLine(split);
    if (!line || referenceSplit(*line) != split) {
        ProgramRun refused;
        refused.statusWidth = statusWidth();
        refused.problem = !line
                              ? "an argument holds a double quote, which one command-line string cannot carry"
                              : "the command-line string does not split back into the arguments";
        return refused;
    }
    return runCommandLine(*line, split, folder);
}

ProgramRun LauncherRunner::runCommandLine(const std::string& line, const std::vector<std::string>&,
                                          const std::string& folder) const {
    ProgramRun result;
    result.statusWidth = statusWidth();
    // The command line and the report live beside the case's folder, not in it: the cases list its entries.
    const FreshFolder scratch;
    const std::string commandLine = scratch.pathOf("command-line");
    const std::string report = scratch.pathOf("report");
    writeFile(commandLine, Bytes(line.begin(), line.end()));

    // wine-run.sh LAUNCHER PROGRAM COMMAND_LINE_FILE REPORT_FILE, in the case's folder.
    const PosixRunner wine(wineRun_);
    const ProgramRun launched = wine.runWith({launcher_, program_, commandLine, report}, folder, {});
    result.output = launched.output;
    if (!launched.started || !launched.exited || launched.status != 0) {
        result.started = launched.started;
        result.problem = "the launcher under wine failed (status " + std::to_string(launched.status) + " " +
                         launched.problem + "): " + launched.errors;
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
    result.errors = readAll(scratch.pathOf("report.stderr"));
    return result;
}

}  // namespace e2e
