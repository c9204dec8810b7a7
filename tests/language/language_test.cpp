// animmake and animdump in the user's language: Japanese where the locale (LANGUAGE, LC_ALL, LC_MESSAGES,
// LANG) asks for it, English otherwise; the help, the usage errors and the messages naming an input.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "files.h"
#include "process.h"

namespace {

using testsupport::ProcessOptions;
using testsupport::ProcessRun;

bool japaneseLocaleInstalled() {
    const locale_t japanese = newlocale(LC_ALL_MASK, "ja_JP.UTF-8", nullptr);
    if (japanese != nullptr) {
        freelocale(japanese);
    }
    return japanese != nullptr;
}

// Each case states every variable, so that the test's own environment decides nothing.
struct Language {
    const char* name;
    std::vector<std::string> environment;
    bool japanese;
};

const Language kLanguages[] = {
    {"LANG=C", {"LANG=C", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="}, false},
    {"LANG=en_US.UTF-8 (no English catalogue)",
     {"LANG=en_US.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="},
     false},
    {"LANG=ja_JP.UTF-8", {"LANG=ja_JP.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE="}, true},
    {"LC_MESSAGES=ja_JP.UTF-8 under LANG=C",
     {"LANG=C", "LC_ALL=", "LC_MESSAGES=ja_JP.UTF-8", "LANGUAGE="},
     true},
    {"LC_ALL=C over LANG=ja_JP.UTF-8", {"LANG=ja_JP.UTF-8", "LC_ALL=C", "LC_MESSAGES=", "LANGUAGE="}, false},
    {"LANGUAGE=ja under LANG=C.UTF-8", {"LANG=C.UTF-8", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE=ja"}, true},
    {"LANGUAGE=ja under LANG=C (C ignores LANGUAGE)",
     {"LANG=C", "LC_ALL=", "LC_MESSAGES=", "LANGUAGE=ja"},
     false},
};

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

ToolRun runIn(const Language& language, const std::string& program, const std::vector<std::string>& arguments,
              const std::string& folder) {
    ProcessOptions options;
    options.environment = language.environment;
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const ProcessRun run = testsupport::runProcess(program, argv, folder, options);
    return ToolRun{run.exited ? static_cast<int>(run.status) : -1, run.output, run.errors};
}

// What each program says, in English and in Japanese (po/ja.po), byte for byte.
struct Said {
    const char* program;
    std::vector<std::string> arguments;
    int status;
    bool onStandardOutput;
    const char* english;
    const char* japanese;  // the whole text, or its first line for --help
};

const Said kSaid[] = {
    {ANIMMAKE_PATH,
     {"--help"},
     0,
     true,
     "Usage: animmake [OPTION]... [-o STREAM] INPUT...\n",
     "使い方: animmake [OPTION]... [-o STREAM] INPUT...\n"},
    {ANIMDUMP_PATH,
     {"--help"},
     0,
     true,
     "Usage: animdump [OPTION]... FILE\n",
     "使い方: animdump [OPTION]... FILE\n"},
    {ANIMMAKE_PATH,
     {"--wait", "999", "x.png"},
     2,
     false,
     "animmake: invalid value '999' for '--wait' (0 to 255)\nTry 'animmake --help' for more information.\n",
     "animmake: 値が正しくありません: '999'、オプション '--wait' (0 から 255)\n"
     "詳しくは 'animmake --help' を実行してください。\n"},
    {ANIMMAKE_PATH,
     {"-q", "-o", "out.bin", "empty.png"},
     1,
     false,
     "animmake: empty.png: the file is empty\n",
     "animmake: empty.png: ファイルが空です\n"},
    {ANIMDUMP_PATH,
     {"--bogus"},
     2,
     false,
     "animdump: unrecognized option '--bogus'\nTry 'animdump --help' for more information.\n",
     "animdump: 不明なオプションです: '--bogus'\n詳しくは 'animdump --help' を実行してください。\n"},
    {ANIMDUMP_PATH,
     {"--show", "0", "x.bin"},
     2,
     false,
     "animdump: invalid frame number '0' (1 or more)\nTry 'animdump --help' for more information.\n",
     "animdump: フレーム番号が正しくありません: '0'（1 以上）\n詳しくは 'animdump --help' "
     "を実行してください。\n"},
#ifdef ANIMSTUDIO_PATH
    {ANIMSTUDIO_PATH,
     {"--help"},
     0,
     true,
     "Usage: animstudio [OPTION]... [FILE]...\n",
     "使い方: animstudio [オプション]... [ファイル]...\n"},
    {ANIMSTUDIO_PATH,
     {"--port", "0"},
     2,
     false,
     "animstudio: invalid value '0' for '--port' (1 to 65535)\nTry 'animstudio --help' for more "
     "information.\n",
     "animstudio: 値が正しくありません: '0'、オプション '--port' (1 から 65535)\n"
     "詳しくは 'animstudio --help' を実行してください。\n"},
#endif
};

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n') + 1);
}

TEST(Language, EachProgramSpeaksTheUsersLanguage) {
    if (!japaneseLocaleInstalled()) {
        GTEST_SKIP() << "the ja_JP.UTF-8 locale is not installed (localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)";
    }
    const testsupport::FreshFolder scratch;
    scratch.put("empty.png", {});
    for (const Language& language : kLanguages) {
        for (const Said& said : kSaid) {
            SCOPED_TRACE(std::string(language.name) + ": " + said.program + " " + said.arguments.front());
            const ToolRun run = runIn(language, said.program, said.arguments, scratch.path());
            EXPECT_EQ(run.status, said.status);
            const std::string& text = said.onStandardOutput ? run.out : run.err;
            const std::string expected = language.japanese ? said.japanese : said.english;
            EXPECT_EQ(said.arguments.front() == "--help" ? firstLine(text) : text, expected);
        }
    }
}

// The system's own words (strerror) come in the same character set as the catalogue's, whatever the
// locale's: no '?' for characters a C locale's ASCII lacks.
TEST(Language, TheSystemsReasonIsInTheMessagesCharacterSet) {
    if (!japaneseLocaleInstalled()) {
        GTEST_SKIP() << "the ja_JP.UTF-8 locale is not installed (localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)";
    }
    const testsupport::FreshFolder scratch;
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        const ToolRun run = runIn(language, ANIMDUMP_PATH, {"missing.bin"}, scratch.path());
        EXPECT_EQ(run.status, 2);
        const std::string prefix = language.japanese ? "animdump: 読めません: 'missing.bin': "
                                                     : "animdump: cannot read 'missing.bin': ";
        EXPECT_EQ(run.err.substr(0, prefix.size()), prefix) << run.err;
        EXPECT_EQ(run.err.find('?'), std::string::npos) << run.err;
        EXPECT_GT(run.err.size(), prefix.size() + 1) << run.err;
    }
}

// Display columns of UTF-8 text on a terminal: the Japanese characters used take two, ASCII one.
std::size_t columnsOf(const std::string& line) {
    std::size_t columns = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(line[i]);
        if (byte < 0x80) {
            ++columns;
        } else if (byte >= 0xC0) {
            columns += byte >= 0xE0 ? 2 : 1;  // a character's lead byte; three-byte ones here are all wide
        }
    }
    return columns;
}

// The Japanese help has the English one's rows, every option named where the English names it, and fits
// an 80-column console.
TEST(Language, TheJapaneseHelpHasEveryOptionAndFitsTheConsole) {
    if (!japaneseLocaleInstalled()) {
        GTEST_SKIP() << "the ja_JP.UTF-8 locale is not installed (localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)";
    }
    const testsupport::FreshFolder scratch;
    std::vector<const char*> programs{ANIMMAKE_PATH, ANIMDUMP_PATH};
#ifdef ANIMSTUDIO_PATH
    programs.push_back(ANIMSTUDIO_PATH);
#endif
    for (const char* program : programs) {
        SCOPED_TRACE(program);
        const std::string english = runIn(kLanguages[0], program, {"--help"}, scratch.path()).out;
        const std::string japanese = runIn(kLanguages[2], program, {"--help"}, scratch.path()).out;
        ASSERT_NE(english, japanese);
        std::vector<std::string> englishOptions;
        std::vector<std::string> japaneseOptions;
        std::size_t start = 0;
        for (std::size_t end = japanese.find('\n'); end != std::string::npos;
             start = end + 1, end = japanese.find('\n', start)) {
            const std::string line = japanese.substr(start, end - start);
            EXPECT_LE(columnsOf(line), 80U) << line;
        }
        for (const auto& [text, rows] :
             {std::pair{&english, &englishOptions}, {&japanese, &japaneseOptions}}) {
            for (std::size_t at = text->find("\n  "); at != std::string::npos;
                 at = text->find("\n  ", at + 1)) {
                const std::string row = text->substr(at + 1, 26);
                if (row.find("--") != std::string::npos) {
                    rows->push_back(row);
                }
            }
        }
        EXPECT_EQ(japaneseOptions, englishOptions);
        EXPECT_GE(englishOptions.size(), 7U);
    }
}

}  // namespace
