#include "make/output/frames_dir.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>

#include "bmp/bmp.h"
#include "convert/convert_frame.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animmake::output {
namespace {

using animconv::kFrameHeight, animconv::kFramePixels, animconv::kFrameWidth, animconv::kPixelBytes;

constexpr std::size_t kPaletteEntries = 256;

// Entry i is the cube colour of stream index i (16..231); the rest stay black and unused.
struct CubePalette {
    std::uint8_t entries[kPaletteEntries * 4] = {};
    CubePalette() {
        for (std::size_t index = animconv::kFirstCubeIndex; index <= animconv::kLastCubeIndex; ++index) {
            const animconv::Rgb colour = animconv::cubeColour(static_cast<std::uint8_t>(index));
            entries[index * 4] = colour.blue;
            entries[index * 4 + 1] = colour.green;
            entries[index * 4 + 2] = colour.red;
        }
    }
};

}  // namespace

bool prepareFramesDir(const std::string& folder, std::string& error) {
    std::error_code code;
    const std::filesystem::path path = toolplatform::pathOf(folder);
    if (std::filesystem::is_directory(path, code)) {
        return true;
    }
    if (!std::filesystem::create_directory(path, code)) {
        error = folder + _(": cannot create the frames folder: ") +
                (code ? code.message() : std::string(_("a file of that name exists")));
        return false;
    }
    return true;
}

std::string frameFileName(std::size_t number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06zu.bmp", number);
    return name;
}

struct FrameBmpWriter::Buffers {
    CubePalette palette;
    std::uint8_t indices[kFramePixels];
    std::uint8_t bytes[animconv::kInputCapacity];
};

FrameBmpWriter::FrameBmpWriter(BmpDepth depth) : depth_(depth), buffers_(std::make_unique<Buffers>()) {}
FrameBmpWriter::~FrameBmpWriter() = default;

bool FrameBmpWriter::write(const std::string& path, const animconv::FrameBuffer& frame, std::string& error) {
    const CubePalette& palette = buffers_->palette;
    std::uint8_t* indices = buffers_->indices;
    std::uint8_t* bytes = buffers_->bytes;
    constexpr std::size_t kBytes = sizeof buffers_->bytes;
    std::size_t length = 0;
    if (depth_ == BmpDepth::cubePalette8) {
        for (std::size_t i = 0; i < kFramePixels; ++i) {
            const std::uint8_t* pixel = frame.pixels + i * kPixelBytes;
            indices[i] = animconv::cubeIndexOf(pixel[0], pixel[1], pixel[2]);
        }
        length = animconv::bmpEncode(indices, kFrameWidth, kFrameHeight, 8, palette.entries, bytes, kBytes);
    } else {
        length = animconv::bmpEncode(frame.pixels, kFrameWidth, kFrameHeight, 24, nullptr, bytes, kBytes);
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(toolplatform::openFile(path, "wb"), &std::fclose);
    bool written = file != nullptr && std::fwrite(bytes, 1, length, file.get()) == length;
    const int writeErrno = errno;
    if (file != nullptr && std::fclose(file.release()) != 0) {
        written = false;
    }
    if (!written) {
        error = path + _(": cannot write the frame: ") + std::strerror(writeErrno);
    }
    return written;
}

}  // namespace animmake::output
