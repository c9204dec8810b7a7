#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "convert/messages.h"
#include "expected_text.h"
#include "platform/console.h"

namespace animconv {
namespace {

// Points standard output at a fresh file for the life of the object and reads back what reached it.
class CapturedOutput {
  public:
    explicit CapturedOutput(const char* target = nullptr) {
        std::fflush(stdout);
        saved_ = ::dup(STDOUT_FILENO);
        if (target != nullptr) {
            descriptor_ = ::open(target, O_WRONLY);
        } else {
            char name[] = "/tmp/console-test-XXXXXX";
            descriptor_ = ::mkstemp(name);
            temporary_ = name;  // removed once closed: Windows cannot remove a file that is open
        }
        ::dup2(descriptor_, STDOUT_FILENO);
    }
    ~CapturedOutput() {
        restore();
        ::close(descriptor_);
        if (!temporary_.empty()) {
            ::unlink(temporary_.c_str());
        }
    }

    std::string bytes() {
        restore();
        std::string text;
        char chunk[4096];
        ::lseek(descriptor_, 0, SEEK_SET);
        for (ssize_t got; (got = ::read(descriptor_, chunk, sizeof chunk)) > 0;) {
            text.append(chunk, static_cast<std::size_t>(got));
        }
        return text;
    }

  private:
    void restore() {
        if (saved_ >= 0) {
            ::dup2(saved_, STDOUT_FILENO);
            ::close(saved_);
            saved_ = -1;
        }
    }
    int saved_ = -1;
    int descriptor_ = -1;
    std::string temporary_;
};

TEST(ConsoleStream, TextModeTurnsEachLineFeedIntoCarriageReturnLineFeed) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {"abc", "abc"},
        {"abc\n", "abc\r\n"},
        {"\n\n", "\r\n\r\n"},
        {"a\r\nb", "a\r\r\nb"},  // a carriage return already there stays
        {"\r", "\r"},
        {"", ""},
        {std::string("x\0y\n", 4), std::string("x\0y\r\n", 5)},
    };
    for (const Case& c : cases) {
        CapturedOutput output;
        EXPECT_TRUE(console::writeText(c.text));
        EXPECT_EQ(output.bytes(), c.expected);
    }
}

TEST(ConsoleStream, MessagesInsertTheirArgumentUnchanged) {
    CapturedOutput output;
    console::formattedMessage(messages::kConverting, "dir\\\x83\x74.bmp\n%s");
    console::lineMessage(messages::kDone);
    console::formattedMessage(messages::kUsage, "");
    namespace text = testsupport::text;
    EXPECT_EQ(output.bytes(),
              text::converting("dir\\\x83\x74.bmp\r\n%s") + text::line(text::kDone) + text::usage(""));
}

TEST(ConsoleStream, AFormattedMessageLongerThanItsBufferGoesOutWhole) {
    const std::string path(10'000, 'p');
    CapturedOutput output;
    console::formattedMessage(messages::kUnknownMode, path.c_str());
    EXPECT_EQ(output.bytes(), "Unknown mode \"" + path + "\"\r\n");
}

TEST(ConsoleStream, AFailedWriteIsReported) {
    CapturedOutput output("/dev/full");
    EXPECT_FALSE(console::writeText("abc\n"));
    EXPECT_FALSE(console::writeText("\n"));
}

}  // namespace
}  // namespace animconv
