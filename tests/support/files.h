// Files for the tests: a fresh folder per test, whole files read and written, and comparisons that point
// at the first differing byte.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// The file's bytes, or nothing when there is no such regular file.
std::optional<Bytes> readFile(const std::string& path);
// Writes `bytes` as the whole file; throws when it cannot.
void writeFile(const std::string& path, const Bytes& bytes);

// A folder made for one test and removed after it, unless the test failed and E2E_KEEP_FOLDERS is set.
class FreshFolder {
  public:
    FreshFolder();
    ~FreshFolder();
    FreshFolder(const FreshFolder&) = delete;
    FreshFolder& operator=(const FreshFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string pathOf(const std::string& name) const { return path_ + "/" + name; }

    void put(const std::string& name, const Bytes& bytes) const { writeFile(pathOf(name), bytes); }
    void makeFolder(const std::string& name) const;
    std::optional<Bytes> read(const std::string& name) const { return readFile(pathOf(name)); }
    // Names of every entry, sorted.
    std::vector<std::string> entries() const;

  private:
    std::string path_;
};

// Passes when `actual` holds exactly `expected`; otherwise names the first differing offset.
::testing::AssertionResult sameBytes(const Bytes& actual, const Bytes& expected);
// The same for console output, shown with unprintable bytes escaped.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected);

Bytes concat(const std::vector<Bytes>& parts);
Bytes bytesOf(const std::string& text);

}  // namespace testsupport
