// animmake's inputs as Windows users give them: lists however Notepad saved them, wildcards, a file dropped
// on the program with no -o.
#include <gtest/gtest.h>

#include <filesystem>

#include "make/inputs/input_list.h"
#include "make_test_support.h"
#include "text_encoding.h"

namespace maketest {
namespace {

// Two lines of a list (one with a wait byte, CR LF as Notepad ends lines) in the encodings Notepad saves.
TEST(AnimmakeLists, EveryNotepadEncodingGivesTheSameText) {
    const std::string text = "写真 フォルダ/00_猫.png\t5\r\nb.png\r\n";
    const std::string utf16le = testsupport::convertText(text, "UTF-8", "UTF-16LE").value();
    const std::string utf16be = testsupport::convertText(text, "UTF-8", "UTF-16BE").value();
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;  // empty: refused
    };
    const Case cases[] = {
        {"UTF-8", text, text},
        {"UTF-8 with a byte order mark", "\xEF\xBB\xBF" + text, text},
        {"UTF-16 LE with a byte order mark", "\xFF\xFE" + utf16le, text},
        {"UTF-16 BE with a byte order mark", "\xFE\xFF" + utf16be, text},
        {"UTF-16 beyond the first plane", "\xFF\xFE" + std::string("\x3D\xD8\x08\xDE", 4),
         "\xF0\x9F\x98\x88"},
        {"an empty UTF-16 list", "\xFF\xFE", ""},
        {"UTF-16 with an odd byte", "\xFF\xFE" + utf16le + "x", ""},
        {"UTF-16 with a lone surrogate", "\xFF\xFE" + std::string("\x3D\xD8\x41\x00", 4), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string decoded;
        std::string reason;
        const bool refused = c.text.empty() && c.bytes.size() > 2;
        EXPECT_EQ(animmake::inputs::listTextAsUtf8(c.bytes, decoded, reason), !refused);
        EXPECT_EQ(decoded, c.text);
        EXPECT_EQ(reason, refused ? "the list is not valid UTF-16" : "");
    }
}

// Text that is not UTF-8 is the ANSI code page's; here names are bytes and stay as they are.
TEST(AnimmakeLists, TextThatIsNotUtf8StaysBytesHere) {
    const std::string shiftJis = testsupport::convertText("猫.png\n", "UTF-8", "SHIFT_JIS").value();
    for (const std::string& bytes :
         {shiftJis, std::string("\xC0\xAF.png\n"), std::string("\xED\xA0\x80\n")}) {
        std::string decoded;
        std::string reason;
        EXPECT_TRUE(animmake::inputs::listTextAsUtf8(bytes, decoded, reason));
        EXPECT_EQ(decoded, bytes);
    }
}

// The same list saved four ways, and one in Shift_JIS naming a file named in Shift_JIS: the same stream.
TEST(AnimmakeLists, NotepadsEncodingsGiveTheSameFrames) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    std::filesystem::create_directory(folder + "/写真 フォルダ");
    photoLike(190, 170, 0).pngsave((folder + "/写真 フォルダ/00_猫.png").c_str());
    photoLike(190, 170, 30).pngsave((folder + "/b.png").c_str());
    const std::string text = "写真 フォルダ/00_猫.png\t5\r\nb.png\r\n";
    const std::string shiftJis = testsupport::convertText(text, "UTF-8", "SHIFT_JIS").value();
    std::filesystem::create_directory(folder + "/" + shiftJis.substr(0, shiftJis.find('/')));
    std::filesystem::copy_file(folder + "/写真 フォルダ/00_猫.png",
                               folder + "/" + shiftJis.substr(0, shiftJis.find('\t')));
    const std::pair<const char*, std::string> lists[] = {
        {"utf8.txt", text},
        {"bom.txt", "\xEF\xBB\xBF" + text},
        {"utf16le.txt", "\xFF\xFE" + testsupport::convertText(text, "UTF-8", "UTF-16LE").value()},
        {"utf16be.txt", "\xFE\xFF" + testsupport::convertText(text, "UTF-8", "UTF-16BE").value()},
        {"ansi.txt", shiftJis},
    };
    Bytes first;
    for (const auto& [name, bytes] : lists) {
        SCOPED_TRACE(name);
        writeBytes(folder + "/" + name, Bytes(bytes.begin(), bytes.end()));
        const std::string stream = std::string(name) + ".bin";
        const ProcessResult result = animmake({"-q", "-o", stream, std::string("@") + name}, folder);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<StreamFrame> frames = readStream(folder + "/" + stream);
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[0].waitByte, 5);
        if (first.empty()) {
            first = readBytes(folder + "/" + stream);
        }
        EXPECT_EQ(readBytes(folder + "/" + stream), first);
    }
}

TEST(AnimmakeWildcards, MatchAsWindowsMatchesNames) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"*.png", "a.png", true},
        {"*.png", "a.PNG", true},
        {"*.png", "a.png.txt", false},
        {"f?.png", "f1.png", true},
        {"f?.png", "f10.png", false},
        {"f?.png", "f猫.png", true},
        {"*", "anything", true},
        {"*", "", true},
        {"a*b*c", "aXbYbZc", true},
        {"a*b*c", "aXbYbZ", false},
        {"写真*", "写真 フォルダ", true},
        {"*猫*", "00_猫.png", true},
        {"??_*", "00_猫.png", true},
        {"???_*", "00_猫.png", false},
        {"F*.Png", "frame.png", true},
        {"*.bmp", "猫.bmpx", false},
        {"*.PNG", "写真.png", true},
        {"a;b*", "a;b.png", true},
        {"a**b", "ab", true},
        {"*?", "", false},
    };
    for (const auto& [pattern, name, matches] : cases) {
        EXPECT_EQ(animmake::inputs::wildcardMatches(pattern, name), matches) << pattern << " on " << name;
    }
}

// Numbers by value, letters in either case alike (camera names in upper and lower case keep their frames'
// order), and a fixed order for names equal but for case.
TEST(AnimmakeNaturalOrder, NumbersByValueAndCaseAlike) {
    const std::pair<std::vector<std::string>, std::vector<std::string>> cases[] = {
        {{"frame10.bmp", "frame2.bmp", "frame1.bmp"}, {"frame1.bmp", "frame2.bmp", "frame10.bmp"}},
        {{"c.png", "B.png", "a.png"}, {"a.png", "B.png", "c.png"}},
        {{"img_0010.jpg", "IMG_0002.JPG", "IMG_0001.jpg"}, {"IMG_0001.jpg", "IMG_0002.JPG", "img_0010.jpg"}},
        {{"写真10.png", "写真2.png", "写真1.png"}, {"写真1.png", "写真2.png", "写真10.png"}},
        {{"s99x", "s100x", "s9x"}, {"s9x", "s99x", "s100x"}},
        {{"f.png", "F.png"}, {"F.png", "f.png"}},
    };
    for (auto [names, sorted] : cases) {
        animmake::inputs::sortNaturally(names);
        EXPECT_EQ(names, sorted);
    }
}

// Matches in natural order, folders opened as folders; a pattern that matches nothing is an error.
TEST(AnimmakeWildcards, ExpandInNaturalOrder) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    for (const char* name : {"f10.bmp", "f2.bmp", "f1.bmp", "g1.bmp", ".f3.bmp"}) {
        writeBytes(folder + "/" + name, {'x'});
    }
    std::filesystem::create_directory(folder + "/f5");
    writeBytes(folder + "/f5/in.bmp", {'x'});
    struct Case {
        std::vector<std::string> operands;
        std::vector<std::string> paths;  // relative to the folder
        std::string error;
    };
    const Case cases[] = {
        {{"/f*.bmp"}, {"/f1.bmp", "/f2.bmp", "/f10.bmp"}, ""},
        {{"/f*"}, {"/f1.bmp", "/f2.bmp", "/f5/in.bmp", "/f10.bmp"}, ""},
        {{"/?1.BMP", "/f2.bmp"}, {"/f1.bmp", "/g1.bmp", "/f2.bmp"}, ""},
        {{"/.f*"}, {"/.f3.bmp"}, ""},
        {{"/f1.bmp", "/*.gif"}, {}, "/*.gif: no file or folder matches"},
        {{"/f*/in.bmp"}, {}, "/f*/in.bmp: wildcards are taken in the last part of a name only"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> operands;
        for (const std::string& operand : c.operands) {
            operands.push_back(folder + operand);
        }
        SCOPED_TRACE(c.operands.front());
        std::vector<animmake::inputs::InputItem> items;
        std::string error;
        EXPECT_EQ(animmake::inputs::expandInputs(operands, items, error, true), c.error.empty());
        EXPECT_EQ(error, c.error.empty() ? "" : folder + c.error);
        std::vector<std::string> paths;
        for (const animmake::inputs::InputItem& item : items) {
            paths.push_back(item.path.substr(folder.size()));
        }
        if (c.error.empty()) {
            EXPECT_EQ(paths, c.paths);
        }
    }
    // Where the shell expands them, a pattern is a name like any other.
    std::vector<animmake::inputs::InputItem> items;
    std::string error;
    ASSERT_TRUE(animmake::inputs::expandInputs({folder + "/f*.bmp"}, items, error, false));
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].path, folder + "/f*.bmp");
}

TEST(AnimmakeDrop, TheStreamIsNamedAfterTheFirstInput) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {"clip.mp4", false, "clip.bin"},
        {"C:\\Users\\猫\\Videos\\clip.mp4", false, "C:\\Users\\猫\\Videos\\clip.bin"},
        {"shots", true, "shots.bin"},
        {"shots/", true, "shots.bin"},
        {"D:\\写真 フォルダ\\", true, "D:\\写真 フォルダ.bin"},
        {"shots.2024", true, "shots.2024.bin"},
        {"dir.v2/README", false, "dir.v2/README.bin"},
        {".hidden", false, ".hidden.bin"},
        {"a.tar.gz", false, "a.tar.bin"},
    };
    for (const auto& [input, folder, stream] : cases) {
        EXPECT_EQ(animmake::inputs::streamNameBeside(input, folder), stream) << input;
    }
}

// No -o: beside the input, refused when it exists (unless -f); a folder's stream beside the folder.
TEST(AnimmakeDrop, WithoutOutputTheStreamGoesBesideTheInput) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    std::filesystem::create_directory(folder + "/shots");
    photoLike(64, 48, 0).pngsave((folder + "/shots/clip.png").c_str());
    const ProcessResult made = animmake({folder + "/shots/clip.png"}, folder);
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string summaryEnd = "-> " + folder + "/shots/clip.bin\n";
    ASSERT_GT(made.err.size(), summaryEnd.size());
    EXPECT_EQ(made.err.substr(made.err.size() - summaryEnd.size()), summaryEnd);
    EXPECT_EQ(readStream(folder + "/shots/clip.bin").size(), 1u);
    const ProcessResult again = animmake({"-q", folder + "/shots/clip.png"}, folder);
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err,
              "animmake: " + folder +
                  "/shots/clip.bin: the stream exists and is not empty (use -f to replace it, -a to "
                  "append)\n");
    EXPECT_EQ(animmake({"-q", "-f", folder + "/shots/clip.png"}, folder).status, 0);
    ASSERT_EQ(animmake({"-q", "shots/"}, folder).status, 0);
    EXPECT_EQ(readStream(folder + "/shots.bin").size(), 1u);
    const ProcessResult piped = animmake({"-q", "@-"}, folder);
    EXPECT_EQ(piped.status, 2);
    EXPECT_EQ(
        piped.err.rfind("animmake: missing '-o STREAM' (a list on standard input names no stream)\n", 0), 0u);
}

// A file given alone is a list when what it holds is one: text whose first name is there, from the list's
// folder. A stream, an image or text naming nothing stays what it is, whatever its name.
TEST(AnimmakeDrop, AFileAloneIsAListWhenItHoldsOne) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    std::filesystem::create_directory(folder + "/sub");
    photoLike(64, 48, 0).pngsave((folder + "/sub/a.png").c_str());
    writeBytes(folder + "/sub/list.txt", testsupport::bytesOf("a.png\r\n"));
    writeBytes(folder + "/sub/utf16.txt", testsupport::bytesOf(std::string("\xFF\xFE"
                                                                           "a\0.\0p\0n\0g\0",
                                                                           12)));
    writeBytes(folder + "/sub/notes.txt", testsupport::bytesOf("shopping: milk\n"));
    writeBytes(folder + "/sub/binary.txt", testsupport::bytesOf(std::string("a.png\0\x01", 7)));
    photoLike(64, 48, 0).pngsave((folder + "/sub/picture.txt").c_str());
    ASSERT_EQ(animmake({"-q", "-o", "sub/stream.txt", "sub/a.png"}, folder).status, 0);
    const std::pair<const char*, bool> cases[] = {
        {"sub/list.txt", true},     {"sub/utf16.txt", true},
        {"sub/notes.txt", false},   {"sub/binary.txt", false},
        {"sub/picture.txt", false}, {"sub/stream.txt", false},
        {"sub/a.png", false},       {"sub", false},
        {"sub/missing.txt", false},
    };
    for (const auto& [name, list] : cases) {
        EXPECT_EQ(animmake::inputs::isLoneList(folder + "/" + name), list) << name;
    }
}

// Names in a list are the list's neighbours, wherever the run starts; a whole path stays as it is. A list
// given alone is read as one, its stream beside it.
TEST(AnimmakeDrop, ListNamesAreTakenFromTheListsFolder) {
    const FreshFolder scratch;
    const std::string folder = scratch.path();
    std::filesystem::create_directories(folder + "/lists/shots");
    photoLike(64, 48, 0).pngsave((folder + "/lists/shots/a.png").c_str());
    photoLike(64, 48, 20).pngsave((folder + "/b.png").c_str());
    writeBytes(folder + "/lists/リスト.txt", testsupport::bytesOf("shots/a.png\t7\n" + folder + "/b.png\n"));
    std::vector<animmake::inputs::InputItem> items;
    std::string error;
    ASSERT_TRUE(animmake::inputs::expandInputs({"@" + folder + "/lists/リスト.txt"}, items, error, false))
        << error;
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].path, folder + "/lists/shots/a.png");
    EXPECT_EQ(items[0].wait, 7);
    EXPECT_EQ(items[1].path, folder + "/b.png");

    const ProcessResult dropped = animmake({"-q", "lists/リスト.txt"}, folder);
    ASSERT_EQ(dropped.status, 0) << dropped.err;
    const std::vector<StreamFrame> frames = readStream(folder + "/lists/リスト.bin");
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].waitByte, 7);
}

}  // namespace
}  // namespace maketest
