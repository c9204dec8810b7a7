// Writes the sample animation into a folder: a ball bouncing across a landscape under a drifting cloud,
// 12 frames of 190x170. Frames 1-8 are 24-bit, 9-10 8-bit and 11-12 4-bit, all drawn from one 16-colour
// scene, so a delta-mode run compares colours across depths.
#include <cstdio>
#include <string>
#include <vector>

#include "bmp_writer.h"

namespace {

using bmpwriter::Bgr;

constexpr std::uint32_t kWidth = 190;
constexpr std::uint32_t kHeight = 170;
constexpr int kFrames = 12;

enum Colour : std::uint8_t {
    kSkyHigh,
    kSkyMid,
    kSkyLow,
    kHorizon,
    kSun,
    kCloud,
    kGrass,
    kGrassDark,
    kPath,
    kBall,
    kBallShine,
    kShadow,
    kTree,
    kLeaves,
    kFence,
    kUnused
};

const std::vector<Bgr> kPalette = {
    {230, 120, 40}, {240, 160, 80}, {250, 200, 140}, {220, 220, 230}, {40, 220, 255},  {255, 255, 255},
    {40, 170, 60},  {20, 110, 30},  {100, 160, 200}, {30, 30, 220},   {150, 150, 255}, {30, 70, 40},
    {20, 60, 110},  {30, 130, 20},  {90, 110, 140},  {0, 0, 0},
};

bool inCircle(int x, int y, int centreX, int centreY, int radius) {
    const int dx = x - centreX;
    const int dy = y - centreY;
    return dx * dx + dy * dy <= radius * radius;
}

std::uint8_t sceneAt(int frame, int x, int y) {
    const int ballX = 18 + frame * 14;
    const int bounce = (frame % 4) * (4 - frame % 4) * 12;  // 0, 36, 48, 36, 0, ...
    const int ballY = 122 - bounce;
    const int cloudX = 20 + frame * 4;

    if (inCircle(x, y, ballX - 4, ballY - 5, 4))
        return kBallShine;
    if (inCircle(x, y, ballX, ballY, 12))
        return kBall;
    if (inCircle(x, y, 160, 24, 14))
        return kSun;
    if (inCircle(x, y, cloudX, 30, 10) || inCircle(x, y, cloudX + 14, 26, 12) ||
        inCircle(x, y, cloudX + 28, 31, 9))
        return kCloud;
    if (x >= 150 && x < 156 && y >= 96 && y < 136)
        return kTree;
    if (inCircle(x, y, 153, 88, 16))
        return kLeaves;
    if (y >= 136) {
        if (y < 140 && inCircle(x, y * 4, ballX, 137 * 4, 14))
            return kShadow;
        if (y >= 150 && y < 158)
            return kPath;
        return ((x / 10 + y / 6) % 2 == 0) ? kGrass : kGrassDark;
    }
    if (y >= 118 && y < 136 && (x % 16 < 2 || y == 122 || y == 130))
        return kFence;
    if (y < 40)
        return kSkyHigh;
    if (y < 80)
        return kSkyMid;
    if (y < 120)
        return kSkyLow;
    return kHorizon;
}

std::vector<std::uint8_t> frameIndices(int frame) {
    std::vector<std::uint8_t> indices(kWidth * kHeight);
    for (int y = 0; y < static_cast<int>(kHeight); ++y) {
        for (int x = 0; x < static_cast<int>(kWidth); ++x) {
            indices[static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)] =
                sceneAt(frame, x, y);
        }
    }
    return indices;
}

std::vector<std::uint8_t> frameFile(int frame) {
    const std::vector<std::uint8_t> indices = frameIndices(frame);
    bmpwriter::Layout layout;
    if (frame < 8) {
        std::vector<Bgr> colours;
        colours.reserve(indices.size());
        for (std::uint8_t index : indices) {
            colours.push_back(kPalette[index]);
        }
        return bmpwriter::directBmp(kWidth, kHeight, colours, layout);
    }
    layout.bitsPerPixel = frame < 10 ? 8 : 4;
    layout.palette = kPalette;
    return bmpwriter::indexedBmp(kWidth, kHeight, indices, layout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    for (int frame = 0; frame < kFrames; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%02d.bmp", frame + 1);
        const std::string path = std::string(argv[1]) + name;
        if (!bmpwriter::writeFile(path, frameFile(frame))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
