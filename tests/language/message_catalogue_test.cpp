// The .mo reader the Windows programs look their messages up with: the catalogue the build compiled from
// po/ja.po, and hand-made files in both byte orders, whole and damaged.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/translation.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes builtCatalogue() {
    std::ifstream file(ANIMCONV_JAPANESE_MO, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void putWord(Bytes& bytes, std::size_t at, std::uint32_t value, bool bigEndian) {
    for (std::size_t i = 0; i < 4; ++i) {
        const std::size_t shift = 8 * (bigEndian ? 3 - i : i);
        bytes[at + i] = static_cast<std::uint8_t>(value >> shift);
    }
}

// A .mo file of `pairs` (sorted by original, as msgfmt writes them) with its header and both tables.
Bytes moFile(const std::vector<std::pair<std::string, std::string>>& pairs, bool bigEndian) {
    const std::uint32_t count = static_cast<std::uint32_t>(pairs.size());
    const std::uint32_t originals = 28;
    const std::uint32_t translations = originals + 8 * count;
    Bytes bytes(translations + 8 * count, 0);
    putWord(bytes, 0, 0x950412de, bigEndian);
    putWord(bytes, 8, count, bigEndian);
    putWord(bytes, 12, originals, bigEndian);
    putWord(bytes, 16, translations, bigEndian);
    for (std::uint32_t i = 0; i < 2 * count; ++i) {
        const std::string& text = i < count ? pairs[i].first : pairs[i - count].second;
        const std::uint32_t entry = (i < count ? originals : translations) + 8 * (i % count);
        putWord(bytes, entry, static_cast<std::uint32_t>(text.size()), bigEndian);
        putWord(bytes, entry + 4, static_cast<std::uint32_t>(bytes.size()), bigEndian);
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    }
    return bytes;
}

const std::vector<std::pair<std::string, std::string>> kPairs = {
    {"", "Content-Type: text/plain; charset=UTF-8\n"},
    {"cannot open: ", "開けません: "},
    {"missing INPUT operand", "INPUT オペランドがありません"},
    {"out of memory", "メモリが足りません"},
    {"the stream", ""},  // untranslated
};

TEST(MessageCatalogue, TheBuiltCatalogueTranslatesTheTools) {
    const Bytes bytes = builtCatalogue();
    ASSERT_FALSE(bytes.empty()) << ANIMCONV_JAPANESE_MO;
    const toolkit::MessageCatalogue catalogue(bytes.data(), bytes.size());
    ASSERT_FALSE(catalogue.empty());
    EXPECT_STREQ(catalogue.find("show this help and exit"), "このヘルプを表示して終了する");
    EXPECT_STREQ(catalogue.find("\nTry 'animmake --help' for more information.\n"),
                 "\n詳しくは 'animmake --help' を実行してください。\n");
    EXPECT_EQ(catalogue.find("no such message"), nullptr);
    EXPECT_EQ(catalogue.find(""), nullptr);  // the header is no message
}

TEST(MessageCatalogue, FindsEveryEntryInEitherByteOrder) {
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        const Bytes bytes = moFile(kPairs, bigEndian);
        const toolkit::MessageCatalogue catalogue(bytes.data(), bytes.size());
        ASSERT_FALSE(catalogue.empty());
        EXPECT_STREQ(catalogue.find("cannot open: "), "開けません: ");
        EXPECT_STREQ(catalogue.find("missing INPUT operand"), "INPUT オペランドがありません");
        EXPECT_STREQ(catalogue.find("out of memory"), "メモリが足りません");
        EXPECT_EQ(catalogue.find("the stream"), nullptr);
        for (const char* absent : {"", "a", "cannot open:", "out of memory ", "zzz"}) {
            EXPECT_EQ(catalogue.find(absent), nullptr) << absent;
        }
    }
}

TEST(MessageCatalogue, ADamagedFileIsAnEmptyCatalogue) {
    const Bytes whole = moFile(kPairs, false);
    const std::uint32_t lastText = 28 + 8 * 5 + 8 * 4;  // the last translation's table entry
    struct Damage {
        const char* name;
        std::size_t offset;  // the word changed, or the size cut to
        std::uint32_t value;
        bool cut;
    };
    const Damage damages[] = {
        {"too short for a header", 19, 0, true},
        {"cut inside the tables", 60, 0, true},
        {"cut inside the last text", whole.size() - 2, 0, true},
        {"no magic number", 0, 0x12345678, false},
        {"more entries than the tables hold", 8, 1000, false},
        {"a table past the end", 16, 0xfffffff0, false},
        {"a text past the end", lastText + 4, 0xfffffff0, false},
        {"a text longer than the file", lastText, 0xffffffff, false},
        {"a text without its NUL", 28, 1, false},  // the header's length 1: its NUL becomes a text's
    };
    for (const Damage& damage : damages) {
        SCOPED_TRACE(damage.name);
        Bytes bytes = whole;
        if (damage.cut) {
            bytes.resize(damage.offset);
        } else {
            putWord(bytes, damage.offset, damage.value, false);
        }
        const toolkit::MessageCatalogue catalogue(bytes.data(), bytes.size());
        EXPECT_TRUE(catalogue.empty());
        EXPECT_EQ(catalogue.find("out of memory"), nullptr);
    }
    EXPECT_TRUE(toolkit::MessageCatalogue(nullptr, 0).empty());
}

}  // namespace
