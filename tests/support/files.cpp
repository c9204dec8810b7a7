#include "files.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "bmp_writer.h"

namespace testsupport {
namespace fs = std::filesystem;

std::optional<Bytes> readFile(const std::string& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
    if (!bmpwriter::writeFile(path, bytes)) {
        throw std::runtime_error("cannot write " + path);
    }
}

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

void FreshFolder::makeFolder(const std::string& name) const {
    fs::create_directories(pathOf(name));
}

std::vector<std::string> FreshFolder::entries() const {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
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

}  // namespace testsupport
