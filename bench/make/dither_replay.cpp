// One dither alone over frames animmake fitted (`animmake --dither none --frames-dir DIR` writes them as
// 24-bit BMPs), in stream order, a few times over: its processor time a frame, without decoding. Built from
// the dithers' sources only, without libvips, so that valgrind --tool=callgrind can count its instructions
// where a shared machine's clock is too noisy to compare.
//
//   dither_replay ordered|search|steady|diffusion DIR [REPEATS]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "make/dither/dither_choice.h"

namespace {

constexpr std::size_t kWidth = 190;
constexpr std::size_t kHeight = 170;
constexpr std::size_t kBmpHeader = 54;
constexpr std::size_t kBmpRow = (kWidth * 3 + 3) / 4 * 4;

// A 190x170 24-bit bottom-up BMP as the frame animmake dithers; false when it is not one.
bool readFrame(const std::string& path, animconv::FrameBuffer& frame) {
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> bmp{std::istreambuf_iterator<char>(file),
                                        std::istreambuf_iterator<char>()};
    if (bmp.size() < kBmpHeader + kBmpRow * kHeight || bmp[0] != 'B' || bmp[1] != 'M' || bmp[28] != 24) {
        return false;
    }
    for (std::size_t y = 0; y < kHeight; ++y) {
        const std::uint8_t* row = &bmp[kBmpHeader + (kHeight - 1 - y) * kBmpRow];
        for (std::size_t x = 0; x < kWidth; ++x) {
            std::memcpy(&frame.pixels[(y * kWidth + x) * 4], &row[x * 3], 3);
            frame.pixels[(y * kWidth + x) * 4 + 3] = 0;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using animmake::dither::Dither;
    const struct {
        const char* name;
        Dither dither;
    } named[] = {{"ordered", Dither::ordered},
                 {"search", Dither::search},
                 {"steady", Dither::steady},
                 {"diffusion", Dither::diffusion}};
    const auto* chosen = std::end(named);
    for (const auto& n : named) {
        chosen = argc >= 3 && std::strcmp(argv[1], n.name) == 0 ? &n : chosen;
    }
    if (chosen == std::end(named) || argc > 4) {
        std::fprintf(stderr, "usage: dither_replay ordered|search|steady|diffusion DIR [REPEATS]\n");
        return 2;
    }
    std::vector<animconv::FrameBuffer> frames;
    for (;;) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06zu.bmp", frames.size() + 1);
        frames.emplace_back();
        if (!readFrame(argv[2] + std::string(name), frames.back())) {
            frames.pop_back();
            break;
        }
    }
    const int repeats = argc == 4 ? std::atoi(argv[3]) : 1;
    if (frames.empty() || repeats < 1) {
        std::fprintf(stderr, "dither_replay: no frames in %s\n", argv[2]);
        return 1;
    }
    static animconv::FrameBuffer work;
    const std::clock_t begin = std::clock();
    for (int r = 0; r < repeats; ++r) {
        const auto dither = animmake::dither::makeDither(chosen->dither);
        for (const animconv::FrameBuffer& frame : frames) {
            work = frame;
            dither->apply(work);
        }
    }
    const double seconds = static_cast<double>(std::clock() - begin) / CLOCKS_PER_SEC;
    std::printf("%s %zu frames x %d: %.3f ms a frame\n", chosen->name, frames.size(), repeats,
                seconds * 1000.0 / static_cast<double>(frames.size() * static_cast<std::size_t>(repeats)));
    return 0;
}
