// The expected message bytes are checked once against the system's own code page 932 converter, so that a
// wrong byte in the table cannot pass unnoticed.
#include <string>

#include <gtest/gtest.h>

#include "expected_text.h"
#include "text_encoding.h"

namespace testsupport {
namespace {

bool toShiftJis(const std::string& utf8, std::string& converted) {
    const std::optional<std::string> shiftJis = convertText(utf8, "UTF-8", "CP932");
    converted = shiftJis.value_or("");
    return shiftJis.has_value();
}

TEST(MessageText, TableHoldsTheCodePage932Bytes) {
    std::string probe;
    if (!toShiftJis("了", probe)) {
        GTEST_SKIP() << "no CP932 converter in this C library (glibc's gconv modules missing)";
    }
    const struct {
        const char* utf8;
        std::string_view expected;
        std::size_t storedLength;  // as stored in the tool, "%s" and "\n" included
    } texts[] = {
        {"ファイル:", text::kFileColon, 0},
        {"を開けません。", text::kCannotOpenTail, 0},
        {"BMPファイルではありません。", text::kNotBmp, 27},
        {"このBMPファイルは使えません。", text::kUnusable, 29},
        {"デコードエラーが発生しました。", text::kDecodeError, 30},
        {"出力用のファイルが開けません。", text::kCannotOpenOutput, 30},
        {"出力用のファイルに書き込めません。", text::kCannotWriteOutput, 0},
        {"を変換中...", text::kConvertingTail, 0},
        {"終了", text::kDone, 4},
    };
    for (const auto& t : texts) {
        std::string converted;
        ASSERT_TRUE(toShiftJis(t.utf8, converted)) << t.utf8;
        EXPECT_EQ(converted, std::string(t.expected)) << t.utf8;
        if (t.storedLength != 0) {
            EXPECT_EQ(t.expected.size(), t.storedLength) << t.utf8;
        }
    }
    // The two formatted texts, "%s" and "\n" counted.
    EXPECT_EQ(text::kFileColon.size() + 2 + text::kCannotOpenTail.size() + 1, 26U);
    EXPECT_EQ(2 + text::kConvertingTail.size() + 1, 14U);
}

}  // namespace
}  // namespace testsupport
