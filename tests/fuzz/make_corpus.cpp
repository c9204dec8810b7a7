// Writes the seed corpus of the fuzz targets: small hand-made BMPs of every depth and header kind, with and
// without the 128-byte prefix, malformed ones, command lines and streams. Run once; its output is committed.
//   make_fuzz_corpus tests/fuzz/corpus
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bmp_writer.h"

namespace {

namespace fs = std::filesystem;
using bmpwriter::Bgr;
using bmpwriter::HeaderKind;
using bmpwriter::Layout;
using Bytes = std::vector<std::uint8_t>;

fs::path corpusRoot;

void save(const char* target, const std::string& name, const Bytes& bytes) {
    const fs::path folder = corpusRoot / target;
    fs::create_directories(folder);
    if (!bmpwriter::writeFile((folder / name).string(), bytes)) {
        std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
        std::exit(1);
    }
}

std::vector<Bgr> palette(std::size_t entries) {
    std::vector<Bgr> colours;
    for (std::size_t i = 0; i < entries; ++i) {
        colours.push_back(Bgr{static_cast<std::uint8_t>(i * 37), static_cast<std::uint8_t>(255 - i * 11),
                              static_cast<std::uint8_t>(i * 5)});
    }
    return colours;
}

// Diagonal stripes: runs of several lengths, and colours on both sides of the cube's level steps.
Bytes image(std::uint32_t width, std::uint32_t height, std::uint16_t depth, HeaderKind header, bool prefix) {
    const std::size_t pixels = std::size_t{width} * height;
    Layout layout;
    layout.header = header;
    layout.bitsPerPixel = depth;
    layout.prefix = prefix;
    if (depth == 24) {
        std::vector<Bgr> colours(pixels);
        for (std::size_t i = 0; i < pixels; ++i) {
            const auto band = static_cast<std::uint8_t>((i % width + i / width) / 7 * 50);
            colours[i] =
                Bgr{band, static_cast<std::uint8_t>(255 - band), static_cast<std::uint8_t>(i % 3 * 51)};
        }
        return bmpwriter::directBmp(width, height, colours, layout);
    }
    const std::size_t entries = std::size_t{1} << depth;
    layout.palette = palette(entries);
    std::vector<std::uint8_t> indices(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
        indices[i] = static_cast<std::uint8_t>((i % width + i / width) / 5 % entries);
    }
    return bmpwriter::indexedBmp(width, height, indices, layout);
}

std::string nameOf(std::uint16_t depth, HeaderKind header, bool prefix) {
    return std::to_string(depth) + "bit-" + (header == HeaderKind::core ? "core" : "info") +
           (prefix ? "-prefix" : "");
}

Bytes cut(Bytes bytes, std::size_t length) {
    bytes.resize(std::min(bytes.size(), length));
    return bytes;
}

void bmpSeeds() {
    for (const int bits : {1, 4, 8, 24}) {
        const auto depth = static_cast<std::uint16_t>(bits);
        for (const HeaderKind header : {HeaderKind::core, HeaderKind::info}) {
            for (const bool prefix : {false, true}) {
                save("bmp", nameOf(depth, header, prefix) + ".bmp", image(11, 3, depth, header, prefix));
            }
        }
    }
    using namespace bmpwriter;
    Bytes bytes = image(5, 4, 24, HeaderKind::info, false);
    auto variant = [&](const std::string& name, std::size_t field, std::uint32_t value, int width) {
        Bytes changed = bytes;
        width == 2 ? putLe16(changed, field, static_cast<std::uint16_t>(value))
                   : putLe32(changed, field, value);
        save("bmp", name, changed);
    };
    variant("bad-depth-0.bmp", kInfoBitsField, 0, 2);
    variant("bad-depth-2.bmp", kInfoBitsField, 2, 2);
    variant("bad-depth-16.bmp", kInfoBitsField, 16, 2);
    variant("bad-depth-32.bmp", kInfoBitsField, 32, 2);
    variant("bad-compression-3.bmp", kInfoCompressionField, 3, 4);
    variant("bad-header-108.bmp", kHeaderSizeField, 108, 4);
    variant("bad-top-down.bmp", kInfoHeightField, static_cast<std::uint32_t>(-4), 4);
    variant("bad-width-huge.bmp", kInfoWidthField, 0xFFFFFFFF, 4);
    variant("bad-height-int-min.bmp", kInfoHeightField, 0x80000000, 4);
    variant("bad-offset-in-header.bmp", kPixelOffsetField, 2, 4);
    variant("bad-offset-past-end.bmp", kPixelOffsetField, 0xFFFFFF00, 4);
    save("bmp", "bad-truncated.bmp", cut(bytes, bytes.size() - 5));
    save("bmp", "bad-header-only.bmp", cut(bytes, 55));
    // An 8-bit image whose 256-entry table would run past the end of the file.
    Bytes shortTable = image(4, 2, 8, HeaderKind::info, false);
    putLe32(shortTable, kPixelOffsetField, 54);
    save("bmp", "bad-table-past-end.bmp", cut(shortTable, 54 + 8));
}

// 190x170 images, cut short: the converter reads the missing rows as zero bytes.
void pipelineSeeds() {
    for (const int bits : {1, 4, 8, 24}) {
        const auto depth = static_cast<std::uint16_t>(bits);
        for (const HeaderKind header : {HeaderKind::core, HeaderKind::info}) {
            for (const bool prefix : {false, true}) {
                if (prefix && depth == 24) {
                    continue;  // does not fit the converter's buffer
                }
                save("pipeline", nameOf(depth, header, prefix) + ".bmp",
                     cut(image(190, 170, depth, header, prefix), 4096));
            }
        }
    }
    // Runs on both sides of the short form's limit of 127 pixels, in scan order.
    for (const int bits : {1, 8}) {
        const auto depth = static_cast<std::uint16_t>(bits);
        std::vector<std::uint8_t> indices;
        const int lengths[] = {1, 127, 128, 129, 2, 255, 256, 126, 3};
        for (std::size_t run = 0; indices.size() < 190 * 170; ++run) {
            indices.insert(indices.end(), static_cast<std::size_t>(lengths[run % 9]),
                           static_cast<std::uint8_t>(run % 2));
        }
        indices.resize(190 * 170);
        Layout layout;
        layout.bitsPerPixel = depth;
        layout.palette = palette(std::size_t{1} << depth);
        save("pipeline", "runs-" + std::to_string(bits) + "bit.bmp",
             cut(bmpwriter::indexedBmp(190, 170, indices, layout), 4200));
    }
    Bytes bytes = cut(image(190, 170, 24, HeaderKind::info, false), 2048);
    bmpwriter::putLe16(bytes, bmpwriter::kInfoBitsField, 16);
    save("pipeline", "bad-depth-16.bmp", bytes);
    bmpwriter::putLe32(bytes, bmpwriter::kInfoHeightField, static_cast<std::uint32_t>(-170));
    save("pipeline", "bad-top-down.bmp", bytes);
}

void commandLineSeeds() {
    const std::vector<std::string> lines = {
        "animconv use0xfe anim a.bmp 10 b.bmp 10",
        "\"C:\\Program Files\\animconv.exe\" no0xfe \"out dir\\anim\" a\"b c\"d \"\" 5",
        "  two leading spaces",
        "\x83\x74\x83\x40\x83\x43\x83\x8b\t\x81\x40 0d20",
        "-0d5",
        " - 7",
        "\x81\x40\x81\x40 12abc",
        "4294967296",
        "-2147483648",
        "99999999999999999999",
        "+5",
        "0x10",
        "\"unclosed quote \x01 ends only at the end",
    };
    for (std::size_t i = 0; i < lines.size(); ++i) {
        save("command_line", "line-" + std::to_string(i) + ".txt", Bytes(lines[i].begin(), lines[i].end()));
    }
}

// A run record: the short form for up to 127 pixels, else the long one.
void appendRun(Bytes& stream, std::uint8_t value, std::uint16_t pixels) {
    stream.push_back(value);
    if (pixels <= 127) {
        stream.push_back(static_cast<std::uint8_t>(0x80 | pixels));
    } else {
        stream.push_back(static_cast<std::uint8_t>(pixels >> 8));
        stream.push_back(static_cast<std::uint8_t>(pixels & 0xFF));
    }
}

void streamSeeds() {
    const Bytes small = {0x10, 0x7D, 0x00, 0xE7, 0xFF, 0x14, 0x00, 0xAD,
                         0xFF, 0x0A, 0xFE, 0x7E, 0x2C, 0xFF, 0x05};
    save("stream", "two-frames.bin", small);
    save("stream", "cut-in-terminator.bin", cut(small, small.size() - 1));
    // Three frames: short runs of every colour, then unchanged runs around colours, then one long run.
    Bytes runs;
    for (std::uint16_t i = 0; i < 254; ++i) {
        appendRun(runs, static_cast<std::uint8_t>(16 + i % 216), 127);
    }
    appendRun(runs, 231, 32300 - 254 * 127);
    runs.insert(runs.end(), {0xFF, 0x07});
    appendRun(runs, 0xFE, 16000);
    appendRun(runs, 100, 100);
    appendRun(runs, 0xFE, 16200);
    runs.insert(runs.end(), {0xFF, 0x00});
    appendRun(runs, 42, 32300);
    runs.insert(runs.end(), {0xFF, 0xFF});
    save("stream", "three-frames.bin", runs);
    save("stream", "long-form-under-128.bin", {0x10, 0x00, 0x7F, 0xFF, 0x01});
    save("stream", "marker-in-first-frame.bin", {0xFE, 0x7E, 0x2C, 0xFF, 0x05});
    save("stream", "png-signature.bin", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0x00});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    corpusRoot = argv[1];
    bmpSeeds();
    pipelineSeeds();
    commandLineSeeds();
    streamSeeds();
    return 0;
}
