#include "make/frames_dir.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/tool_platform.h"

namespace animmake {
namespace {

using animconv::kFrameHeight;
using animconv::kFrameWidth;
using animconv::kPixelBytes;

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr std::size_t kPaletteEntries = 256;

void put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}

// Palette entry i is the cube colour of stream index i (16..231); the rest stay black and unused.
std::size_t cubeEntry(const std::uint8_t* pixel) {
    return 16 + 36 * std::size_t{pixel[0] / 51U} + 6 * std::size_t{pixel[1] / 51U} + pixel[2] / 51U;
}

std::vector<std::uint8_t> bmpBytes(const animconv::FrameBuffer& frame, BmpDepth depth) {
    const bool indexed = depth == BmpDepth::cubePalette8;
    const std::size_t rowBytes = indexed ? kFrameWidth : std::size_t{kFrameWidth} * 3;
    const std::size_t stride = (rowBytes + 3) / 4 * 4;
    const std::size_t paletteBytes = indexed ? kPaletteEntries * 4 : 0;
    const std::size_t pixelStart = kFileHeaderBytes + kInfoHeaderBytes + paletteBytes;
    const std::size_t total = pixelStart + stride * kFrameHeight;
    std::vector<std::uint8_t> out(total, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<std::uint32_t>(total));
    put32(out, 10, static_cast<std::uint32_t>(pixelStart));
    put32(out, 14, kInfoHeaderBytes);
    put32(out, 18, kFrameWidth);
    put32(out, 22, kFrameHeight);  // bottom-up
    put16(out, 26, 1);
    put16(out, 28, indexed ? 8 : 24);
    put32(out, 34, static_cast<std::uint32_t>(stride * kFrameHeight));
    if (indexed) {
        put32(out, 46, kPaletteEntries);
        for (std::size_t index = 16; index <= 231; ++index) {
            const std::size_t digits = index - 16;
            std::uint8_t* entry = out.data() + kFileHeaderBytes + kInfoHeaderBytes + index * 4;
            entry[0] = static_cast<std::uint8_t>(digits / 36 * 51);     // blue
            entry[1] = static_cast<std::uint8_t>(digits / 6 % 6 * 51);  // green
            entry[2] = static_cast<std::uint8_t>(digits % 6 * 51);      // red
        }
    }
    for (std::size_t y = 0; y < kFrameHeight; ++y) {
        std::uint8_t* row = out.data() + pixelStart + (kFrameHeight - 1 - y) * stride;
        const std::uint8_t* pixel = frame.pixels + y * kFrameWidth * kPixelBytes;
        for (std::size_t x = 0; x < kFrameWidth; ++x, pixel += kPixelBytes) {
            if (indexed) {
                row[x] = static_cast<std::uint8_t>(cubeEntry(pixel));
            } else {
                std::memcpy(row + x * 3, pixel, 3);
            }
        }
    }
    return out;
}

}  // namespace

bool prepareFramesDir(const std::string& folder, std::string& error) {
    std::error_code code;
    const std::filesystem::path path = toolplatform::pathOf(folder);
    if (std::filesystem::is_directory(path, code)) {
        return true;
    }
    if (!std::filesystem::create_directory(path, code)) {
        error = folder + ": cannot create the frames folder: " +
                (code ? code.message() : std::string("a file of that name exists"));
        return false;
    }
    return true;
}

std::string frameFileName(std::size_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06zu.bmp", number);
    return name;
}

bool writeFrameBmp(const std::string& path, const animconv::FrameBuffer& frame, BmpDepth depth,
                   std::string& error) {
    const std::vector<std::uint8_t> bytes = bmpBytes(frame, depth);
    std::FILE* file = toolplatform::openFile(path, "wb");
    bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeErrno = errno;
    if (file != nullptr && std::fclose(file) != 0) {
        written = false;
    }
    if (!written) {
        error = path + ": cannot write the frame: " + std::strerror(writeErrno);
    }
    return written;
}

}  // namespace animmake
