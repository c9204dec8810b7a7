#include "e2e_support.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>

namespace e2e {
namespace fs = std::filesystem;

FreshFolder::FreshFolder() {
    std::string pattern = (fs::temp_directory_path() / "animconv-e2e-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder from " + pattern);
    }
    path_ = pattern;
}

FreshFolder::~FreshFolder() {
    const bool failed = ::testing::Test::HasFailure();
    if (failed && std::getenv("E2E_KEEP_FOLDERS") != nullptr) {
        std::fprintf(stderr, "kept %s\n", path_.c_str());
        return;
    }
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void FreshFolder::put(const std::string& name, const Bytes& bytes) const {
    if (!bmpwriter::writeFile(pathOf(name), bytes)) {
        throw std::runtime_error("cannot write " + pathOf(name));
    }
}

void FreshFolder::makeFolder(const std::string& name) const {
    fs::create_directories(pathOf(name));
}

std::optional<Bytes> FreshFolder::read(const std::string& name) const {
    std::error_code error;
    if (!fs::is_regular_file(pathOf(name), error)) {
        return std::nullopt;
    }
    std::ifstream file(pathOf(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> FreshFolder::entries() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

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

namespace {

std::string hexAround(const Bytes& bytes, std::size_t at) {
    std::ostringstream text;
    const std::size_t from = at < 8 ? 0 : at - 8;
    const std::size_t to = std::min(bytes.size(), at + 8);
    for (std::size_t i = from; i < to; ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, i == at ? "[%02x]" : "%02x ", bytes[i]);
        text << hex;
    }
    return text.str();
}

std::string escaped(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
            shown += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", byte);
            shown += hex;
        }
    }
    return shown;
}

}  // namespace

::testing::AssertionResult sameBytes(const Bytes& actual, const Bytes& expected) {
    const auto difference = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    if (difference.first == actual.end() && difference.second == expected.end()) {
        return ::testing::AssertionSuccess();
    }
    const auto at = static_cast<std::size_t>(difference.first - actual.begin());
    return ::testing::AssertionFailure()
           << actual.size() << " bytes, expected " << expected.size() << "; first difference at offset " << at
           << "\n  actual:   " << hexAround(actual, at) << "\n  expected: " << hexAround(expected, at);
}

::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "\n  actual:   \"" << escaped(actual) << "\"\n  expected: \"" << escaped(expected) << "\"";
}

Bytes concat(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

}  // namespace e2e
