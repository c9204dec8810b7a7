// The image files through libvips, for the Windows build (Debian has no giflib or libpng for mingw, and
// libvips-42.dll carries both formats). The GIF's frames are kept until it is closed, then saved as one
// animation: every frame holds at most the cube's 216 colours, which libvips' GIF writer keeps exact when
// told not to dither. Only the C API and UTF-8 names cross into the DLL.
#include <vips/vips8>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "animdump/frame_picture.h"
#include "animdump/image_files.h"
#include "platform/tool_platform.h"

namespace animdump {
namespace {

using animconv::kFrameHeight;
using animconv::kFramePixels;
using animconv::kFrameWidth;
using vips::VImage;

constexpr std::size_t kRgbBytes = 3;
constexpr int kMillisecondsPerHundredth = 10;

struct GifFrames {
    std::vector<std::uint8_t> rgb;  // every frame's pixels, one below the other
    std::vector<int> delaysMs;
};

bool startLibrary(std::string& error) {
    static const bool started = VIPS_INIT("animdump") == 0;
    if (!started) {
        error = std::string("cannot start libvips: ") + vips_error_buffer();
    }
    return started;
}

void appendRgb(const FrameIndices& frame, std::vector<std::uint8_t>& rgb) {
    const std::size_t start = rgb.size();
    rgb.resize(start + kFramePixels * kRgbBytes);
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        const Rgb colour = cubeColour(frame.values[i]);
        rgb[start + i * kRgbBytes] = colour.red;
        rgb[start + i * kRgbBytes + 1] = colour.green;
        rgb[start + i * kRgbBytes + 2] = colour.blue;
    }
}

// libvips' message, first line only.
std::string libraryReason() {
    std::string reason = vips_error_buffer();
    vips_error_clear();
    const std::size_t end = reason.find('\n');
    if (end != std::string::npos) {
        reason.resize(end);
    }
    return reason;
}

VImage imageOf(const std::vector<std::uint8_t>& rgb) {
    return VImage::new_from_memory(rgb.data(), rgb.size(), kFrameWidth,
                                   static_cast<int>(rgb.size() / (kFrameWidth * kRgbBytes)),
                                   static_cast<int>(kRgbBytes), VIPS_FORMAT_UCHAR);
}

void removeFile(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(toolplatform::pathOf(path), ignored);
}

}  // namespace

bool openGif(const char* path, GifWriter& gif, std::string& error) {
    if (!startLibrary(error)) {
        return false;
    }
    // Created now, so that a path that cannot be written is reported before any frame is decoded.
    std::FILE* probe = toolplatform::openFile(path, "wb");
    if (probe == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    std::fclose(probe);
    gif.file = new GifFrames;
    gif.path = path;
    return true;
}

bool addGifFrame(GifWriter& gif, const FrameIndices& frame, std::uint16_t delay, std::string& error) {
    auto* frames = static_cast<GifFrames*>(gif.file);
    try {
        appendRgb(frame, frames->rgb);
        frames->delaysMs.push_back(int{delay} * kMillisecondsPerHundredth);
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the frames";
        delete frames;
        gif.file = nullptr;
        removeFile(gif.path);
        return false;
    }
    return true;
}

bool closeGif(GifWriter& gif, std::string& error) {
    std::unique_ptr<GifFrames> frames(static_cast<GifFrames*>(gif.file));
    gif.file = nullptr;
    try {
        VImage image = imageOf(frames->rgb).copy();
        image.set("page-height", kFrameHeight);
        image.set("delay", frames->delaysMs);
        image.set("loop", 0);  // forever
        image.gifsave(gif.path.c_str(), VImage::option()
                                            ->set("dither", 0.0)
                                            ->set("keep_duplicate_frames", true)
                                            ->set("keep", VIPS_FOREIGN_KEEP_NONE));
    } catch (const vips::VError&) {
        error = libraryReason();
        removeFile(gif.path);
        return false;
    }
    return true;
}

bool writePng(const std::string& path, const FrameIndices& frame, std::string& error) {
    if (!startLibrary(error)) {
        return false;
    }
    std::vector<std::uint8_t> rgb;
    appendRgb(frame, rgb);
    try {
        imageOf(rgb).pngsave(path.c_str(), VImage::option()->set("keep", VIPS_FOREIGN_KEEP_NONE));
    } catch (const vips::VError&) {
        error = libraryReason();
        removeFile(path);
        return false;
    }
    return true;
}

}  // namespace animdump
