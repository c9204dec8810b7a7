// animstudio as a process: its first line, its ends (Ctrl-C, SIGTERM, no page for a while; the page's Quit
// ends the same wait, see studio_test.cpp) and the temporary folder it leaves behind on none of them.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <regex>
#include <thread>

#include "files.h"
#include "process.h"

namespace {

using testsupport::FreshFolder;
using testsupport::ProcessOptions;
using testsupport::ProcessRun;

// A port nothing listens on now.
int freePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

ProcessRun studio(const std::vector<std::string>& arguments, const FreshFolder& temporary,
                  const std::function<void(int)>& onStart = {}) {
    ProcessOptions options;
    options.environment = {"TMPDIR=" + temporary.path(), "LC_ALL=C"};
    options.onStart = onStart;
    std::vector<std::string> words{ANIMSTUDIO_PATH, "--no-browser"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return testsupport::runProcess(ANIMSTUDIO_PATH, words, temporary.path(), options);
}

const std::regex kAddress(R"(http://127\.0\.0\.1:([0-9]+)/\?token=[0-9a-f]{32}\n)");

TEST(StudioProgram, EachEndLeavesNoTemporaryFolder) {
    struct {
        const char* what;
        std::vector<std::string> arguments;
        int signal;  // 0: none
    } ends[] = {
        {"no page for a while", {"--idle-exit", "1"}, 0},
        {"Ctrl-C", {"--idle-exit", "0"}, SIGINT},
        {"SIGTERM", {"--idle-exit", "0"}, SIGTERM},
    };
    for (const auto& end : ends) {
        FreshFolder temporary;
        const int port = freePort();
        std::vector<std::string> arguments = end.arguments;
        arguments.insert(arguments.end(), {"--port", std::to_string(port)});
        const ProcessRun run = studio(arguments, temporary, [&](int processId) {
            // Once it answers: then it is listening with its folder made.
            httplib::Client client("127.0.0.1", port);
            for (int tries = 0; tries < 100 && !client.Get("/api/ping"); ++tries) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            EXPECT_EQ(temporary.entries().size(), 1U) << end.what;
            if (end.signal != 0) {
                ::kill(processId, end.signal);
            }
        });
        ASSERT_TRUE(run.exited) << end.what << ": " << run.problem;
        const std::string firstLine = run.output.substr(0, run.output.find('\n') + 1);
        std::smatch match;
        EXPECT_TRUE(std::regex_match(firstLine, match, kAddress)) << end.what << ": " << run.output;
        EXPECT_EQ(match.size() > 1 ? match[1].str() : "", std::to_string(port)) << end.what;
        EXPECT_TRUE(temporary.entries().empty()) << end.what;
        EXPECT_EQ(run.status, 0U) << end.what << ": " << run.errors;
    }
}

TEST(StudioProgram, UsageErrorsAndAPortInUseAreRefusedWithTheirStatus) {
    FreshFolder temporary;
    const ProcessRun badPort = studio({"--port", "70000"}, temporary);
    EXPECT_EQ(badPort.status, 2U);
    EXPECT_EQ(badPort.errors,
              "animstudio: invalid value '70000' for '--port' (1 to 65535)\n"
              "Try 'animstudio --help' for more information.\n");
    const ProcessRun unknown = studio({"--bogus"}, temporary);
    EXPECT_EQ(unknown.status, 2U);
    EXPECT_EQ(unknown.errors.substr(0, unknown.errors.find('\n')),
              "animstudio: unrecognized option '--bogus'");
    // A port taken by another listener.
    httplib::Server other;
    const int port = other.bind_to_any_port("127.0.0.1");
    const ProcessRun taken = studio({"--port", std::to_string(port)}, temporary);
    EXPECT_EQ(taken.status, 1U);
    EXPECT_EQ(taken.errors, "animstudio: cannot listen on 127.0.0.1:" + std::to_string(port) + "\n");
    EXPECT_TRUE(taken.output.empty());
    EXPECT_TRUE(temporary.entries().empty());
    const ProcessRun help = studio({"--help"}, temporary);
    EXPECT_EQ(help.status, 0U);
    EXPECT_NE(help.output.find("--max-upload=MIB"), std::string::npos);
}

}  // namespace
