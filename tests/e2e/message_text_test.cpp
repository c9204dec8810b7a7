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
    } texts[] = {
        {"ファイル:", text::kFileColon},
        {"を開けません。", text::kCannotOpenTail},
        {"BMPファイルではありません。", text::kNotBmp},
        {"このBMPファイルは使えません。", text::kUnusable},
        {"デコードエラーが発生しました。", text::kDecodeError},
        {"出力用のファイルが開けません。", text::kCannotOpenOutput},
        {"出力用のファイルに書き込めません。", text::kCannotWriteOutput},
        {"を変換中...", text::kConvertingTail},
        {"終了", text::kDone},
    };
    for (const auto& t : texts) {
        std::string converted;
        ASSERT_TRUE(toShiftJis(t.utf8, converted)) << t.utf8;
        EXPECT_EQ(converted, std::string(t.expected)) << t.utf8;
    }
}

}  // namespace
}  // namespace testsupport
