#include "animdump/terminal_player.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "animdump/frame_picture.h"
#include "toolkit/translation.h"

namespace animdump {
namespace {

using animconv::FrameIndices;
using animconv::FrameSummary;
using animconv::gifDelay;
using animconv::kFrameWidth;
using animconv::ProblemReport;
using animconv::StreamView;

constexpr const char* kEnterScreen = "\x1B[?1049h\x1B[?25l";  // alternate screen, cursor hidden
constexpr const char* kLeaveScreen = "\x1B[0m\x1B[?25h\x1B[?1049l";
constexpr const char* kClearScreen = "\x1B[0m\x1B[2J";
// Synchronized output: a terminal that knows it shows each frame whole; others ignore it.
constexpr const char* kBeginUpdate = "\x1B[?2026h";
constexpr const char* kEndUpdate = "\x1B[?2026l";

constexpr int kCells = kPlayColumns * kPlayLines;
constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGTSTP, SIGWINCH};
constexpr std::size_t kSignalCount = std::size(kHandledSignals);
constexpr std::int64_t kMillisecondsPerHundredth = 10;

// The handler only reports the signal through this pipe: the loop waits on it beside the keyboard.
int signalPipe[2] = {-1, -1};

extern "C" void reportSignal(int number) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    const ssize_t ignored = write(signalPipe[1], &byte, 1);  // a full pipe already holds a report
    (void)ignored;
    errno = savedErrno;
}

std::int64_t nowMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

bool writeAll(const char* text, std::size_t length) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t written = write(STDOUT_FILENO, text + done, length - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

bool writeAll(const std::string& text) {
    return writeAll(text.data(), text.size());
}

// What each character cell shows now.
struct Screen {
    std::uint8_t upper[kCells];
    std::uint8_t lower[kCells];
    bool known = false;  // false: unknown, everything is drawn after clearing
};

// The escape sequences that turn what `shown` shows into `frame`, touching only the cells that differ.
void drawFrame(const FrameIndices& frame, Screen& shown, std::string& out) {
    out.clear();
    out += kBeginUpdate;
    if (!shown.known) {
        out += kClearScreen;
    }
    char sequence[48];
    int cursor = -1;  // the cell the cursor stands on, -1 when not known
    int foreground = -1;
    int background = -1;
    for (int line = 0; line < kPlayLines; ++line) {
        const std::uint8_t* upperRow = frame.values + static_cast<std::size_t>(2 * line) * kFrameWidth;
        const std::uint8_t* lowerRow = upperRow + kFrameWidth;
        for (int column = 0; column < kPlayColumns; ++column) {
            const int cell = line * kPlayColumns + column;
            const auto top = static_cast<std::uint8_t>(terminalColour(upperRow[column]));
            const auto bottom = static_cast<std::uint8_t>(terminalColour(lowerRow[column]));
            if (shown.known && shown.upper[cell] == top && shown.lower[cell] == bottom) {
                continue;
            }
            if (cursor != cell) {
                std::snprintf(sequence, sizeof sequence, "\x1B[%d;%dH", line + 1, column + 1);
                out += sequence;
            }
            if (top != foreground || bottom != background) {
                std::snprintf(sequence, sizeof sequence, "\x1B[38;5;%d;48;5;%dm", top, bottom);
                out += sequence;
                foreground = top;
                background = bottom;
            }
            out += kUpperHalfBlock;
            // After the last column the cursor waits at the line's end on a terminal of any width.
            cursor = column + 1 < kPlayColumns ? cell + 1 : -1;
            shown.upper[cell] = top;
            shown.lower[cell] = bottom;
        }
    }
    shown.known = true;
    out += kEndUpdate;
}

class Player {
  public:
    bool run(StreamView stream, std::size_t frames, std::uint32_t delayScale, std::string& error);

  private:
    enum class Event { timeUp, quit, endSignal, failed };

    void enterTerminal();
    void leaveTerminal();
    void installHandlers();
    void restoreHandlers();
    Event waitUntil(std::int64_t deadline);
    Event handleSignal(int number);
    bool redraw();

    bool keyboard_ = false;  // standard input is a terminal: keys are read and its mode restored
    bool keyboardOpen_ = false;
    termios savedMode_{};
    struct sigaction savedActions_[kSignalCount] = {};
    int endSignal_ = 0;
    FrameIndices pixels_{};
    Screen shown_{};
    std::string out_;
};

void Player::installHandlers() {
    struct sigaction action {};
    action.sa_handler = reportSignal;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kHandledSignals[i], &action, &savedActions_[i]);
    }
}

void Player::restoreHandlers() {
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        sigaction(kHandledSignals[i], &savedActions_[i], nullptr);
    }
}

void Player::enterTerminal() {
    keyboard_ = keyboard_ && tcgetattr(STDIN_FILENO, &savedMode_) == 0;
    if (keyboard_) {
        termios keys = savedMode_;
        // Each key as it is pressed, not echoed; Ctrl-C and Ctrl-Z still send their signals.
        keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        keys.c_cc[VMIN] = 1;
        keys.c_cc[VTIME] = 0;
        tcsetattr(STDIN_FILENO, TCSANOW, &keys);
    }
    writeAll(kEnterScreen, std::strlen(kEnterScreen));
    shown_.known = false;
}

void Player::leaveTerminal() {
    writeAll(kLeaveScreen, std::strlen(kLeaveScreen));
    if (keyboard_) {
        tcsetattr(STDIN_FILENO, TCSADRAIN, &savedMode_);
    }
}

bool Player::redraw() {
    drawFrame(pixels_, shown_, out_);
    return writeAll(out_);
}

Player::Event Player::handleSignal(int number) {
    if (number == SIGWINCH) {
        shown_.known = false;
        return redraw() ? Event::timeUp : Event::failed;
    }
    if (number == SIGTSTP) {
        // Stop with the terminal as the shell left it; draw everything again on the way back.
        leaveTerminal();
        struct sigaction stop {};
        stop.sa_handler = SIG_DFL;
        struct sigaction ours {};
        sigaction(SIGTSTP, &stop, &ours);
        raise(SIGTSTP);
        sigaction(SIGTSTP, &ours, nullptr);
        enterTerminal();
        return redraw() ? Event::timeUp : Event::failed;
    }
    endSignal_ = number;
    return Event::endSignal;
}

Player::Event Player::waitUntil(std::int64_t deadline) {
    for (;;) {
        const std::int64_t remaining = deadline - nowMilliseconds();
        if (remaining <= 0) {
            return Event::timeUp;
        }
        pollfd watched[2] = {{signalPipe[0], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const nfds_t count = keyboardOpen_ ? 2 : 1;
        if (poll(watched, count, static_cast<int>(std::min<std::int64_t>(remaining, 1000))) < 0) {
            if (errno == EINTR) {
                continue;  // interrupted by a signal, whose report is in the pipe
            }
            return Event::failed;
        }
        unsigned char number = 0;
        while (read(signalPipe[0], &number, 1) == 1) {
            const Event event = handleSignal(number);
            if (event != Event::timeUp) {
                return event;
            }
        }
        if (count == 2 && watched[1].revents != 0) {
            char keys[64];
            const ssize_t got = read(STDIN_FILENO, keys, sizeof keys);
            if (got <= 0) {
                keyboardOpen_ = got < 0 && errno == EINTR;
            }
            for (ssize_t i = 0; i < got; ++i) {
                if (keys[i] == 'q' || keys[i] == 'Q') {
                    return Event::quit;
                }
            }
        }
    }
}

bool Player::run(StreamView stream, std::size_t frames, std::uint32_t delayScale, std::string& error) {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string(_("cannot play: ")) + std::strerror(errno);
        return false;
    }
    keyboard_ = isatty(STDIN_FILENO) != 0;
    keyboardOpen_ = keyboard_;
    installHandlers();
    enterTerminal();

    Event event = Event::timeUp;
    std::size_t number = 1;
    std::size_t offset = 0;
    std::int64_t frameEnd = nowMilliseconds();
    while (event == Event::timeUp) {
        FrameSummary frame;
        ProblemReport report;
        readFrame(stream, offset, number, frame, report, &pixels_);
        if (!redraw()) {
            event = Event::failed;
            break;
        }
        const std::uint16_t hundredths = std::max<std::uint16_t>(gifDelay(frame.waitByte, delayScale), 1);
        frameEnd = std::max(frameEnd + hundredths * kMillisecondsPerHundredth, nowMilliseconds());
        event = waitUntil(frameEnd);
        offset += frame.bytes;
        if (++number > frames) {
            number = 1;
            offset = 0;
        }
    }
    const int savedErrno = errno;
    leaveTerminal();
    restoreHandlers();
    close(signalPipe[0]);
    close(signalPipe[1]);
    if (event == Event::endSignal) {
        signal(endSignal_, SIG_DFL);
        raise(endSignal_);
    }
    if (event == Event::failed) {
        error = std::string(_("cannot write to the terminal: ")) + std::strerror(savedErrno);
        return false;
    }
    return true;
}

}  // namespace

bool playerBuiltIn() {
    return true;
}

bool terminalCanPlay(std::string& error) {
    if (isatty(STDOUT_FILENO) == 0) {
        error = _("--play needs a terminal: standard output is not one");
        return false;
    }
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) {
        error = std::string(_("--play cannot read the terminal's size: ")) + std::strerror(errno);
        return false;
    }
    if (size.ws_col < kPlayColumns || size.ws_row < kPlayLines) {
        error = _("--play needs a terminal of at least ") + std::to_string(kPlayColumns) +
                _(" columns and ") + std::to_string(kPlayLines) + _(" lines; this one has ") +
                std::to_string(size.ws_col) + " x " + std::to_string(size.ws_row);
        return false;
    }
    return true;
}

bool playStream(StreamView stream, std::size_t frames, std::uint32_t delayScale, std::string& error) {
    static Player player;  // about 100 KB of frame and screen state
    return player.run(stream, frames, delayScale, error);
}

}  // namespace animdump
