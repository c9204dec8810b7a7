// The file operations of the platform layer, run against whichever implementation the build chose
// (POSIX on Linux, Win32 under wine), so both keep the same contract.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"

namespace animconv::platform {
namespace {

namespace fs = std::filesystem;

class PlatformFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / (std::string("animconv_platform_") + test->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string pathOf(const char* name) const { return (folder_ / name).string(); }

    static void writeBytes(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string readBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path folder_;
};

TEST_F(PlatformFileTest, ReadingOpensOnlyExistingFilesAndNeverADirectory) {
    File file;
    EXPECT_FALSE(openForReading(pathOf("missing.bmp").c_str(), file));
    EXPECT_FALSE(fs::exists(pathOf("missing.bmp")));
    EXPECT_FALSE(openForReading(folder_.string().c_str(), file));
}

TEST_F(PlatformFileTest, OneReadStopsAtTheEndOfAShortFile) {
    const std::string path = pathOf("short.bin");
    writeBytes(path, std::string("BM\0\x01\xff", 5));
    File file;
    ASSERT_TRUE(openForReading(path.c_str(), file));
    char buffer[64] = {};
    EXPECT_EQ(readFile(file, buffer, sizeof buffer), 5U);
    EXPECT_EQ(std::string(buffer, 5), std::string("BM\0\x01\xff", 5));
    closeFile(file);
}

TEST_F(PlatformFileTest, AppendingCreatesAMissingFileAndThenWritesAfterWhatItHolds) {
    const std::string path = pathOf("anim.bin");
    File file;
    std::uint64_t endOffset = 99;
    ASSERT_TRUE(openForAppending(path.c_str(), file, endOffset));
    EXPECT_EQ(endOffset, 0U);
    EXPECT_TRUE(writeFile(file, "\x10\x81\xff\x05", 4));
    closeFile(file);

    ASSERT_TRUE(openForAppending(path.c_str(), file, endOffset));
    EXPECT_EQ(endOffset, 4U);
    // Binary: a line feed stays one byte.
    EXPECT_TRUE(writeFile(file, "\x0a\xfe", 2));
    closeFile(file);
    EXPECT_EQ(readBytes(path), std::string("\x10\x81\xff\x05\x0a\xfe", 6));
}

TEST_F(PlatformFileTest, AppendingRefusesADirectory) {
    File file;
    std::uint64_t endOffset = 0;
    EXPECT_FALSE(openForAppending(folder_.string().c_str(), file, endOffset));
}

TEST_F(PlatformFileTest, AnOpenFileAdmitsNoOtherOpener) {
    const std::string path = pathOf("held.bin");
    writeBytes(path, "held");
    File held;
    std::uint64_t endOffset = 0;
    ASSERT_TRUE(openForAppending(path.c_str(), held, endOffset));
    File other;
    EXPECT_FALSE(openForReading(path.c_str(), other));
    EXPECT_FALSE(openForAppending(path.c_str(), other, endOffset));
    closeFile(held);

    ASSERT_TRUE(openForReading(path.c_str(), held));
    EXPECT_FALSE(openForAppending(path.c_str(), other, endOffset));
    closeFile(held);
    EXPECT_TRUE(openForReading(path.c_str(), other));
    closeFile(other);
}

TEST_F(PlatformFileTest, TruncatingCutsTheFileBackToTheLengthBeforeAFrame) {
    const std::string path = pathOf("cut.bin");
    writeBytes(path, "frame1");
    File file;
    std::uint64_t endOffset = 0;
    ASSERT_TRUE(openForAppending(path.c_str(), file, endOffset));
    ASSERT_TRUE(writeFile(file, "partial", 7));
    EXPECT_TRUE(truncateFile(file, endOffset));
    closeFile(file);
    EXPECT_EQ(readBytes(path), "frame1");
}

}  // namespace
}  // namespace animconv::platform
