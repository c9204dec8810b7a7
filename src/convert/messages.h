// Every text the tool prints, byte for byte. The Japanese ones are Shift_JIS (code page 932).
#pragma once

#include <string_view>

namespace animconv::messages {

using namespace std::string_view_literals;

// "Usage> %s Mode OutputFile InputFile Waittime...\n"
constexpr std::string_view kUsage = "Usage> %s Mode OutputFile InputFile Waittime...\n"sv;
// "Unknown mode \"%s\"\n"
constexpr std::string_view kUnknownMode = "Unknown mode \"%s\"\n"sv;

// "ファイル:%sを開けません。\n" (file: cannot open %s)
constexpr std::string_view kCannotOpenInput =
    "\x83\x74\x83\x40\x83\x43\x83\x8b:%s\x82\xf0\x8a\x4a\x82\xaf\x82\xdc\x82\xb9\x82\xf1\x81\x42\n"sv;
// "BMPファイルではありません。" (not a BMP file)
constexpr std::string_view kNotBmp =
    "BMP\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1\x81\x42"sv;
// "このBMPファイルは使えません。" (this BMP file cannot be used)
constexpr std::string_view kUnusableBmp =
    "\x82\xb1\x82\xcc"
    "BMP\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xcd\x8e\x67\x82\xa6\x82\xdc\x82\xb9\x82\xf1"
    "\x81\x42"sv;
// "デコードエラーが発生しました。" (a decoding error occurred)
constexpr std::string_view kDecodeError =
    "\x83\x66\x83\x52\x81\x5b\x83\x68\x83\x47\x83\x89\x81\x5b\x82\xaa\x94\xad\x90\xb6\x82\xb5\x82\xdc\x82\xb5"
    "\x82\xbd\x81\x42"sv;
// "出力用のファイルが開けません。" (cannot open the output file)
constexpr std::string_view kCannotOpenOutput =
    "\x8f\x6f\x97\xcd\x97\x70\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xaa\x8a\x4a\x82\xaf\x82\xdc\x82\xb9"
    "\x82\xf1\x81\x42"sv;
// "出力用のファイルに書き込めません。" (cannot write to the output file)
constexpr std::string_view kCannotWriteOutput =
    "\x8f\x6f\x97\xcd\x97\x70\x82\xcc\x83\x74\x83\x40\x83\x43\x83\x8b\x82\xc9\x8f\x91\x82\xab\x8d\x9e\x82\xdf"
    "\x82\xdc\x82\xb9\x82\xf1\x81\x42"sv;
// "%sを変換中...\n" (converting %s...)
constexpr std::string_view kConverting = "%s\x82\xf0\x95\xcf\x8a\xb7\x92\x86...\n"sv;
// "終了" (done)
constexpr std::string_view kDone = "\x8f\x49\x97\xb9"sv;

}  // namespace animconv::messages
