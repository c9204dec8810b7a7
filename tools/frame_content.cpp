#include "frame_content.h"

#include <cstddef>

namespace framecontent {
namespace {

using bmpwriter::Bgr;

// A small, fixed generator so that every build produces the same frames.
struct Random {
    std::uint64_t state;
    std::uint32_t next() {
        state = state * std::uint64_t{6364136223846793005} + std::uint64_t{1442695040888963407};
        return static_cast<std::uint32_t>(state >> 33);
    }
    std::uint8_t nextByte() { return static_cast<std::uint8_t>(next() & 0xFF); }
};

std::uint8_t clampByte(int value) {
    return static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}

int cubeIndexOf(const Bgr& colour) {
    return 36 * (colour.blue / 51) + 6 * (colour.green / 51) + colour.red / 51;
}

Bgr photoPixel(int frame, int x, int y) {
    // Sky and ground gradients, a sun disc with a soft rim and a hard-edged moving block.
    const int horizon = 100 + (frame % 20);
    Bgr colour;
    if (y < horizon) {
        colour = {clampByte(255 - y), clampByte(180 - y / 2 + x / 8), clampByte(60 + y)};
    } else {
        colour = {clampByte(30 + (y - horizon) / 3), clampByte(140 - (y - horizon) + x / 4),
                  clampByte(40 + x / 6)};
    }
    const int sunX = 40 + (frame * 3) % 110;
    const int dx = x - sunX;
    const int dy = y - 40;
    const int distance = dx * dx + dy * dy;
    if (distance < 400) {
        colour = {clampByte(40 + distance / 8), clampByte(230 - distance / 10), 255};
    }
    const int blockX = (frame * 5) % 150;
    if (x >= blockX && x < blockX + 30 && y >= 120 && y < 160) {
        colour = {clampByte(20 + (x - blockX) * 6), clampByte(20 + (y - 120) * 4), 90};
    }
    return colour;
}

}  // namespace

std::string_view kindName(Kind kind) {
    switch (kind) {
        case Kind::flat:
            return "flat";
        case Kind::photo:
            return "photo";
        case Kind::noise:
            return "noise";
    }
    return "unknown";
}

std::vector<Bgr> frameColours(Kind kind, int frame) {
    std::vector<Bgr> colours(std::size_t{kWidth} * kHeight);
    switch (kind) {
        case Kind::flat: {
            const auto shade = static_cast<std::uint8_t>((frame / 4) * 37 % 256);
            for (Bgr& colour : colours) {
                colour = {shade, static_cast<std::uint8_t>(255 - shade), 128};
            }
            break;
        }
        case Kind::photo:
            for (std::uint32_t y = 0; y < kHeight; ++y) {
                for (std::uint32_t x = 0; x < kWidth; ++x) {
                    colours[std::size_t{y} * kWidth + x] =
                        photoPixel(frame, static_cast<int>(x), static_cast<int>(y));
                }
            }
            break;
        case Kind::noise: {
            Random random{std::uint64_t{0x9E3779B97F4A7C15} ^ static_cast<std::uint64_t>(frame)};
            int leftIndex = -1;
            for (Bgr& colour : colours) {
                colour = {random.nextByte(), random.nextByte(), random.nextByte()};
                // Stepping blue by a whole cube level makes the index differ from the left neighbour's.
                if (cubeIndexOf(colour) == leftIndex) {
                    colour.blue =
                        static_cast<std::uint8_t>(colour.blue < 128 ? colour.blue + 60 : colour.blue - 60);
                }
                leftIndex = cubeIndexOf(colour);
            }
            break;
        }
    }
    return colours;
}

std::vector<std::uint8_t> frameFile24(Kind kind, int frame) {
    return bmpwriter::directBmp(kWidth, kHeight, frameColours(kind, frame));
}

std::vector<std::uint8_t> frameFileIndexed(Kind kind, int frame, std::uint16_t bitsPerPixel) {
    const std::vector<Bgr> colours = frameColours(kind, frame);
    const std::size_t entries = std::size_t{1} << bitsPerPixel;
    bmpwriter::Layout layout;
    layout.bitsPerPixel = bitsPerPixel;
    // Entry i is a grey-blue ramp; each pixel takes the entry nearest its blue component.
    for (std::size_t i = 0; i < entries; ++i) {
        const auto level = static_cast<std::uint8_t>(i * 255 / (entries - 1));
        layout.palette.push_back(
            {level, static_cast<std::uint8_t>(level / 2), static_cast<std::uint8_t>(255 - level)});
    }
    std::vector<std::uint8_t> indices;
    indices.reserve(colours.size());
    for (const Bgr& colour : colours) {
        indices.push_back(static_cast<std::uint8_t>(colour.blue * (entries - 1) / 255));
    }
    return bmpwriter::indexedBmp(kWidth, kHeight, indices, layout);
}

}  // namespace framecontent
