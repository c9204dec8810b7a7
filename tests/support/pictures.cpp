#include "pictures.h"

#include <algorithm>
#include <random>

namespace testsupport {

Picture solidPicture(const Bgr& colour) {
    return Picture(kPixels, colour);
}

Picture randomPicture(std::uint32_t seed, std::uint32_t colourCount, std::uint32_t longestRun) {
    std::mt19937 generator(seed);
    std::vector<Bgr> colours;
    for (std::uint32_t i = 0; i < colourCount; ++i) {
        colours.push_back({static_cast<std::uint8_t>(generator()), static_cast<std::uint8_t>(generator()),
                           static_cast<std::uint8_t>(generator())});
    }
    Picture picture;
    picture.reserve(kPixels);
    while (picture.size() < kPixels) {
        const Bgr colour = colours[generator() % colourCount];
        const std::size_t run = std::min<std::size_t>(1 + generator() % longestRun, kPixels - picture.size());
        picture.insert(picture.end(), run, colour);
    }
    return picture;
}

Picture paintedSpan(Picture base, std::size_t first, std::size_t count, const Bgr& colour) {
    std::fill_n(base.begin() + static_cast<std::ptrdiff_t>(first), count, colour);
    return base;
}

Picture paintedPixel(Picture base, std::uint32_t x, std::uint32_t y, const Bgr& colour) {
    return paintedSpan(std::move(base), std::size_t{y} * kWidth + x, 1, colour);
}

Bytes directImage(const Picture& picture, const bmpwriter::Layout& layout) {
    return bmpwriter::directBmp(kWidth, kHeight, picture, layout);
}

Picture IndexedImage::colours() const {
    Picture picture;
    for (const std::uint8_t index : indices) {
        picture.push_back(palette.at(index));
    }
    return picture;
}

Bytes IndexedImage::bytes(std::uint16_t bitsPerPixel, bmpwriter::HeaderKind header, bool prefix) const {
    bmpwriter::Layout layout;
    layout.header = header;
    layout.bitsPerPixel = bitsPerPixel;
    layout.prefix = prefix;
    layout.palette = palette;
    // Padding and unused bits set, so that reading them would show in the colours.
    layout.fillerByte = 0xFF;
    layout.fillUnusedBits = true;
    return bmpwriter::indexedBmp(kWidth, kHeight, indices, layout);
}

IndexedImage randomIndexedImage(std::uint32_t seed, std::uint16_t bitsPerPixel) {
    std::mt19937 generator(seed);
    const std::uint32_t entries = 1U << bitsPerPixel;
    IndexedImage image;
    // Entries fall on different cube indices (as far as 216 allow), so that a wrong entry shows in the
    // stream; each component sits at a random place inside its level.
    const auto component = [&generator](std::uint32_t level) {
        return static_cast<std::uint8_t>(level == 5 ? 255 : level * 51 + generator() % 51);
    };
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint32_t cube = (i * 97 + seed) % 216;
        image.palette.push_back({component(cube / 36), component(cube / 6 % 6), component(cube % 6)});
    }
    while (image.indices.size() < kPixels) {
        const auto index = static_cast<std::uint8_t>(generator() % entries);
        const std::size_t run = std::min<std::size_t>(1 + generator() % 40, kPixels - image.indices.size());
        image.indices.insert(image.indices.end(), run, index);
    }
    return image;
}

}  // namespace testsupport
