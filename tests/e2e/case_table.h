// A table-driven end-to-end case: files put in a fresh folder, one or more runs of the program there, and
// everything expected afterwards. Nothing here knows how the program is started.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "program_runner.h"

namespace e2e {

struct Run {
    Run(std::vector<std::string> args, std::string output, int status, bool usage = false)
        : arguments(std::move(args)),
          expectedOutput(std::move(output)),
          expectedStatus(status),
          expectUsage(usage) {}

    std::vector<std::string> arguments;  // after argument 0
    std::string expectedOutput;          // standard output, exactly
    int expectedStatus = 0;              // the tool's own status: 0, -1 or 1
    bool expectUsage = false;            // the output is the usage message with the runner's argument 0
};

struct Case {
    explicit Case(std::string caseName) : name(std::move(caseName)) {}

    std::string name;
    std::vector<std::pair<std::string, Bytes>> files;  // put in the folder before the first run
    std::vector<std::string> folders;                  // made in the folder before the first run
    std::vector<Run> runs;
    std::string outputName = "out.anim";
    std::optional<Bytes> expectedOutputFile;  // nothing: the output file must not exist afterwards
    bool posixFileNamesOnly = false;          // skipped where the runner's file names cannot hold every byte
};

inline void PrintTo(const Case& c, std::ostream* stream) {
    *stream << c.name;
}

// The usual shape: one run converting `pairs` of (input name, wait text) into out.anim.
inline std::vector<std::string> argumentsFor(Mode mode,
                                             const std::vector<std::pair<std::string, std::string>>& pairs,
                                             const std::string& output = "out.anim") {
    std::vector<std::string> arguments{mode == Mode::delta ? "use0xfe" : "no0xfe", output};
    for (const auto& [input, wait] : pairs) {
        arguments.push_back(input);
        arguments.push_back(wait);
    }
    return arguments;
}

}  // namespace e2e
