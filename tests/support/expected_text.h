// What the tool must print, byte for byte. The Japanese texts are the Shift_JIS (code page 932) bytes that
// `iconv -f UTF-8 -t CP932` gives for the text in the comment beside each; every line ends in CR LF.
#pragma once

#include <string>
#include <string_view>

namespace testsupport::text {

using namespace std::string_view_literals;

// ファイル:
constexpr std::string_view kFileColon = "\x83\x74\x83\x40\x83\x43\x83\x8b\x3a"sv;
// を開けません。
constexpr std::string_view kCannotOpenTail = "\x82\xf0\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1\x81\x42"sv;
// BMPファイルではありません。
constexpr std::string_view kNotBmp =
    "\x42\x4d\x50\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1"
    "\x81\x42"sv;
// このBMPファイルは使えません。
constexpr std::string_view kUnusable =
    "\x82\xb1\x82\xcc\x42\x4d\x50\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcd\x8e\x67\x82\xa6\x82\xdc\x82\xb9"
    "\x82\xf1\x81\x42"sv;
// デコードエラーが発生しました。
constexpr std::string_view kDecodeError =
    "\x83\x66\x83\x52\x81\x5b\x83\x68\x83\x47\x83\x89\x81\x5b\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5"
    "\x82\xbd\x81\x42"sv;
// 出力用のファイルが開けません。
constexpr std::string_view kCannotOpenOutput =
    "\x8f\x6f\x97\xcd\x97\x70\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8a\x4a\x82\xaf\x82\xdc\x82\xb9"
    "\x82\xf1\x81\x42"sv;
// 出力用のファイルに書き込めません。
constexpr std::string_view kCannotWriteOutput =
    "\x8f\x6f\x97\xcd\x97\x70\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf"
    "\x82\xdc\x82\xb9\x82\xf1\x81\x42"sv;
// を変換中...
constexpr std::string_view kConvertingTail = "\x82\xf0\x95\xcf\x8a\xb7\x92\x86\x2e\x2e\x2e"sv;
// 終了
constexpr std::string_view kDone = "\x8f\x49\x97\xb9"sv;

constexpr std::string_view kLineEnd = "\r\n"sv;

inline std::string line(std::string_view message) {
    return std::string(message) + std::string(kLineEnd);
}

inline std::string usage(std::string_view argumentZero) {
    return "Usage> " + std::string(argumentZero) + " Mode OutputFile InputFile Waittime...\r\n";
}

inline std::string unknownMode(std::string_view mode) {
    return "Unknown mode \"" + std::string(mode) + "\"\r\n";
}

inline std::string cannotOpenInput(std::string_view path) {
    return std::string(kFileColon) + std::string(path) + std::string(kCannotOpenTail) + std::string(kLineEnd);
}

inline std::string converting(std::string_view path) {
    return std::string(path) + std::string(kConvertingTail) + std::string(kLineEnd);
}

// The two messages of a frame that was appended.
inline std::string convertedFrame(std::string_view path) {
    return converting(path) + line(kDone);
}

}  // namespace testsupport::text
