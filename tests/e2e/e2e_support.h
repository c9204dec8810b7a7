// What the end-to-end tests share: a fresh folder per test, images and pictures to put in it, and
// comparisons that point at the first differing byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bmp_writer.h"
#include "reference_stream.h"

namespace e2e {

// A folder made for one test and removed after it, unless the test failed and E2E_KEEP_FOLDERS is set.
class FreshFolder {
  public:
    FreshFolder();
    ~FreshFolder();
    FreshFolder(const FreshFolder&) = delete;
    FreshFolder& operator=(const FreshFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string pathOf(const std::string& name) const { return path_ + "/" + name; }

    void put(const std::string& name, const Bytes& bytes) const;
    void makeFolder(const std::string& name) const;
    // The file's bytes, or nothing when there is no such regular file.
    std::optional<Bytes> read(const std::string& name) const;
    // Names of every entry, sorted.
    std::vector<std::string> entries() const;

  private:
    std::string path_;
};

// Pictures (colours, top row first).
Picture solidPicture(const Bgr& colour);
// Runs of random length (1..longestRun) of colours drawn from `colourCount` colours; repeatable per seed.
Picture randomPicture(std::uint32_t seed, std::uint32_t colourCount, std::uint32_t longestRun);
// `base` with the pixels from scan position `first`, `count` of them, set to `colour`.
Picture paintedSpan(Picture base, std::size_t first, std::size_t count, const Bgr& colour);
Picture paintedPixel(Picture base, std::uint32_t x, std::uint32_t y, const Bgr& colour);

// A 190x170 24-bit image of `picture`.
Bytes directImage(const Picture& picture, const bmpwriter::Layout& layout = {});

// An indexed 190x170 image: the indices, the table, and the colours it decodes to.
struct IndexedImage {
    std::vector<std::uint8_t> indices;
    std::vector<Bgr> palette;
    Picture colours() const;
    Bytes bytes(std::uint16_t bitsPerPixel, bmpwriter::HeaderKind header, bool prefix) const;
};
// A table of 2, 16 or 256 distinct colours for the depth and indices drawn at random in runs.
IndexedImage randomIndexedImage(std::uint32_t seed, std::uint16_t bitsPerPixel);

// Passes when `actual` holds exactly `expected`; otherwise names the first differing offset.
::testing::AssertionResult sameBytes(const Bytes& actual, const Bytes& expected);
// The same for console output, shown with unprintable bytes escaped.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected);

Bytes concat(const std::vector<Bytes>& parts);
Bytes bytesOf(const std::string& text);

}  // namespace e2e
