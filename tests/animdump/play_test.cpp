// animdump --play on a pseudo-terminal: the frames drawn in order, only changed cells redrawn, and the
// terminal as it was however the player ends.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <array>
#include <chrono>
#include <functional>
#include <utility>

#include "stream_frames.h"

namespace dumptest {
namespace {

using namespace testsupport;

using Bytes = std::vector<std::uint8_t>;

constexpr int kColumns = 190;
constexpr int kLines = 85;
const std::string kBeginUpdate = "\x1B[?2026h";
const std::string kEndUpdate = "\x1B[?2026l";
const std::string kEnterScreen = "\x1B[?1049h\x1B[?25l";
const std::string kLeaveScreen = "\x1B[0m\x1B[?25h\x1B[?1049l";

// Frame 1 all black (index 16); frames 2 and 3 paint pixels x 0-3, y 0-3 (cell lines 0-1, columns 0-3)
// white (231) and red level 4 (20, terminal colour 160). Each waits 1 hundredth.
Bytes threeFrames() {
    Bytes stream = {0x10, 0x7E, 0x2C, 0xFF, 0x01};
    for (const std::uint8_t value : {std::uint8_t{0xE7}, std::uint8_t{0x14}}) {
        for (int row = 0; row < 3; ++row) {
            stream.insert(stream.end(), {value, 0x84, 0xFE, 0x00, 0xBA});
        }
        stream.insert(stream.end(), {value, 0x84, 0xFE, 0x7B, 0xEE, 0xFF, 0x01});  // 31,726 unchanged
    }
    return stream;
}
constexpr std::array<int, 3> kBlockColour = {16, 231, 160};
constexpr std::size_t kChangedCells = 8;

// What the player's output leaves on a screen: the colours of each cell's upper half block.
struct Screen {
    std::array<std::pair<int, int>, kColumns * kLines> cells{};
    std::size_t blocksWritten = 0;

    void apply(const std::string& text) {
        int line = 0, column = 0, foreground = -1, background = -1;
        for (std::size_t i = 0; i < text.size();) {
            if (text.compare(i, 3, "\xE2\x96\x80") == 0) {
                ASSERT_TRUE(line < kLines && column < kColumns) << "a block off the screen";
                cells[static_cast<std::size_t>(line * kColumns + column)] = {foreground, background};
                ++column;
                ++blocksWritten;
                i += 3;
                continue;
            }
            ASSERT_EQ(text.compare(i, 2, "\x1B["), 0) << "unexpected byte at " << i;
            const std::size_t end = text.find_first_of("HmJhl", i + 2);
            ASSERT_NE(end, std::string::npos);
            const std::string parameters = text.substr(i + 2, end - i - 2);
            if (text[end] == 'H') {
                ASSERT_EQ(std::sscanf(parameters.c_str(), "%d;%d", &line, &column), 2);
                --line;
                --column;
            } else if (text[end] == 'm' && parameters != "0") {
                ASSERT_EQ(std::sscanf(parameters.c_str(), "38;5;%d;48;5;%d", &foreground, &background), 2);
            } else if (text[end] == 'J') {
                cells.fill({-1, -1});
            }
            i = end + 1;
        }
    }
};

// animdump --play run on the slave side of a pseudo-terminal of `columns` x `lines`.
class PtyRun {
  public:
    PtyRun(const std::string& stream, unsigned short columns, unsigned short lines) {
        winsize size{};
        size.ws_col = columns;
        size.ws_row = lines;
        const char* arguments[] = {ANIMDUMP_PATH, "--play", stream.c_str(), nullptr};
        // The terminal's modes are read before the program starts, which changes them at once.
        int slave = -1;
        if (openpty(&master_, &slave, nullptr, nullptr, &size) != 0 ||
            tcgetattr(slave, &initialModes_) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(master_);
            if (login_tty(slave) == 0) {
                execv(arguments[0], const_cast<char* const*>(arguments));
            }
            _exit(127);
        }
        close(slave);
    }
    ~PtyRun() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) {
            close(master_);
        }
    }

    bool started() const { return pid_ > 0; }
    int master() const { return master_; }
    pid_t pid() const { return pid_; }
    const termios& initialModes() const { return initialModes_; }
    const std::string& output() const { return output_; }

    // Reads the terminal until `done` holds or the program closes it; false on a 20 s timeout.
    bool readUntil(const std::function<bool()>& done) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > giveUp) {
                return false;
            }
            pollfd watched = {master_, POLLIN, 0};
            if (poll(&watched, 1, 100) <= 0) {
                continue;
            }
            char chunk[65536];
            const ssize_t got = read(master_, chunk, sizeof chunk);
            if (got <= 0) {
                return done();  // EIO: every slave descriptor is closed
            }
            output_.append(chunk, static_cast<std::size_t>(got));
        }
        return true;
    }

    // The wait status once the program has ended.
    int waitForEnd() {
        int status = -1;
        readUntil([] { return false; });
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    // Complete frame updates drawn so far.
    std::vector<std::string> updates() const {
        std::vector<std::string> found;
        for (std::size_t at = output_.find(kBeginUpdate); at != std::string::npos;
             at = output_.find(kBeginUpdate, at + 1)) {
            const std::size_t end = output_.find(kEndUpdate, at);
            if (end == std::string::npos) {
                break;
            }
            found.push_back(output_.substr(at + kBeginUpdate.size(), end - at - kBeginUpdate.size()));
        }
        return found;
    }

  private:
    pid_t pid_ = -1;
    int master_ = -1;
    termios initialModes_{};
    std::string output_;
};

bool readsKeysOneByOne(int master) {
    termios mode{};
    return tcgetattr(master, &mode) == 0 && (mode.c_lflag & (ICANON | ECHO)) == 0;
}

struct EndCase {
    const char* name;
    std::function<void(const PtyRun&)> end;
    bool signalled;
    int signalOrStatus;
};

TEST(AnimdumpPlay, DrawsFramesInOrderAndRestoresTheTerminalHoweverItEnds) {
    const std::vector<EndCase> cases = {
        {"q", [](const PtyRun& run) { ASSERT_EQ(write(run.master(), "q", 1), 1); }, false, 0},
        {"Ctrl-C", [](const PtyRun& run) { ASSERT_EQ(write(run.master(), "\x03", 1), 1); }, true, SIGINT},
        {"SIGTERM", [](const PtyRun& run) { kill(run.pid(), SIGTERM); }, true, SIGTERM},
    };
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    const std::string stream = folder + "/anim.bin";
    writeFile(stream, threeFrames());
    for (const EndCase& c : cases) {
        SCOPED_TRACE(c.name);
        PtyRun run(stream, 200, 90);
        ASSERT_TRUE(run.started());
        ASSERT_TRUE(run.readUntil([&] { return run.updates().size() >= 7; })) << run.output().size();
        EXPECT_TRUE(readsKeysOneByOne(run.master()));

        const std::vector<std::string> updates = run.updates();
        Screen screen;
        for (std::size_t k = 0; k < updates.size(); ++k) {
            SCOPED_TRACE("update " + std::to_string(k));
            const std::size_t blocksBefore = screen.blocksWritten;
            screen.apply(updates[k]);
            EXPECT_EQ(screen.blocksWritten - blocksBefore,
                      k == 0 ? std::size_t{kColumns * kLines} : kChangedCells);
            const int block = kBlockColour[k % 3];
            for (int line = 0; line < kLines; ++line) {
                for (int column = 0; column < kColumns; ++column) {
                    const bool inBlock = line < 2 && column < 4;
                    const std::pair<int, int> expected =
                        inBlock ? std::pair{block, block} : std::pair{16, 16};
                    ASSERT_EQ(screen.cells[static_cast<std::size_t>(line * kColumns + column)], expected)
                        << "line " << line << ", column " << column;
                }
            }
        }

        c.end(run);
        const int status = run.waitForEnd();
        if (c.signalled) {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signalOrStatus) << status;
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == c.signalOrStatus) << status;
        }
        const std::string& output = run.output();
        EXPECT_NE(output.find(kEnterScreen), std::string::npos);
        ASSERT_GE(output.size(), kLeaveScreen.size());
        EXPECT_EQ(output.substr(output.size() - kLeaveScreen.size()), kLeaveScreen);
        termios after{};
        ASSERT_EQ(tcgetattr(run.master(), &after), 0);
        EXPECT_EQ(after.c_lflag, run.initialModes().c_lflag);
    }
}

TEST(AnimdumpPlay, RefusesWithoutAFrameSizedTerminal) {
    const FreshFolder scratch;
    const std::string& folder = scratch.path();
    const std::string stream = folder + "/anim.bin";
    writeFile(stream, threeFrames());

    const ProcessResult redirected = runProgram(ANIMDUMP_PATH, {"--play", stream}, folder);
    EXPECT_EQ(redirected.status, 2);
    EXPECT_EQ(redirected.out, "");
    EXPECT_EQ(redirected.err, "animdump: --play needs a terminal: standard output is not one\n");

    PtyRun small(stream, 80, 24);
    ASSERT_TRUE(small.started());
    const int status = small.waitForEnd();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << status;
    EXPECT_EQ(
        small.output(),
        "animdump: --play needs a terminal of at least 190 columns and 85 lines; this one has 80 x 24\r\n");
}

}  // namespace
}  // namespace dumptest
