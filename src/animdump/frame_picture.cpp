#include "animdump/frame_picture.h"

#include <cstdio>

namespace animdump {
namespace {

using animconv::cubeBlueLevel;
using animconv::cubeGreenLevel;
using animconv::cubeRedLevel;
using animconv::kCubeLevels;
using animconv::kFrameHeight;
using animconv::kFrameWidth;

constexpr const char* kResetColours = "\x1B[0m";
constexpr int kTerminalCubeStart = 16;
static_assert(kFrameHeight % 2 == 0, "every upper row of a character needs a lower one");

}  // namespace

// The terminal's own 6x6x6 cube has red as its most significant digit; the stream's has blue.
int terminalColour(std::uint8_t index) {
    return kTerminalCubeStart + kCubeLevels * kCubeLevels * cubeRedLevel(index) +
           kCubeLevels * cubeGreenLevel(index) + cubeBlueLevel(index);
}

std::string terminalPicture(const animconv::FrameIndices& frame) {
    std::string picture;
    char cell[48];
    for (int y = 0; y < kFrameHeight; y += 2) {
        const std::uint8_t* upper = frame.values + static_cast<std::size_t>(y) * kFrameWidth;
        const std::uint8_t* lower = upper + kFrameWidth;
        int foreground = -1;
        int background = -1;
        for (int x = 0; x < kFrameWidth; ++x) {
            const int top = terminalColour(upper[x]);
            const int bottom = terminalColour(lower[x]);
            if (top != foreground || bottom != background) {
                std::snprintf(cell, sizeof cell, "\x1B[38;5;%d;48;5;%dm", top, bottom);
                picture += cell;
                foreground = top;
                background = bottom;
            }
            picture += kUpperHalfBlock;
        }
        picture += kResetColours;
        picture += '\n';
    }
    return picture;
}

}  // namespace animdump
