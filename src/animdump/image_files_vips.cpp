// The image files through libvips, for the Windows build (Debian has no libpng for mingw, and libvips-42.dll
// carries it): the PNGs, and the GIF when the build has no giflib (with it, gif_writer_giflib.cpp writes
// Linux's bytes; libvips' GIF writer remaps every pixel and is ten or more times slower). The GIF's frames
// are kept as colour cube indices (32,300 bytes a frame) until it is closed, then saved as one animation,
// their colours looked up as libvips reads them: every frame holds at most the cube's 216 colours, which
// libvips' GIF writer keeps exact when told not to dither. It is handed the preview's own colour table to
// reuse for every frame: left to choose, it gives many frames a table of their own, which made a
// screencast's GIF two to five times as large. Only the C API and UTF-8 names cross into the DLL.
#include <vips/vips8>

#include <memory>
#include <vector>

#include "animdump/image_files.h"
#include "toolkit/image_library.h"
#include "toolkit/translation.h"

namespace animdump {
namespace {

using animconv::cubeColour, animconv::kFrameHeight, animconv::kFramePixels, animconv::kFrameWidth,
    animconv::Rgb;
using vips::VImage;

constexpr std::size_t kRgbBytes = 3;

#ifndef ANIMDUMP_GIF_WITH_GIFLIB
constexpr int kMillisecondsPerHundredth = 10;

struct GifFrames {
    std::uint8_t shown[kFramePixels] = {};  // the frame as the planned images have drawn it so far
    std::vector<std::uint8_t> indices;      // every image's whole frame, one below the other
    std::vector<int> delaysMs;
    GifPalette palette;
};

// The palette's colours as libvips reads a "gif-palette": one 0xAABBGGRR value each (red in the low byte),
// opaque. libvips adds the transparent slot itself.
std::vector<int> paletteColours(const GifPalette& palette) {
    std::vector<int> colours;
    colours.reserve(static_cast<std::size_t>(palette.entries));
    for (int slot = 0; slot < palette.entries; ++slot) {
        if (slot != palette.transparentSlot) {
            const Rgb colour = cubeColour(palette.indexAt[slot]);
            const std::uint32_t rgba = std::uint32_t{0xFF} << 24 | std::uint32_t{colour.blue} << 16 |
                                       std::uint32_t{colour.green} << 8 | colour.red;
            colours.push_back(static_cast<int>(rgba));
        }
    }
    return colours;
}

#endif

// The colour of every byte value, one 256x1 RGB image for maplut.
VImage colourTable() {
    std::uint8_t table[256 * kRgbBytes];
    for (std::size_t index = 0; index < 256; ++index) {
        const Rgb colour = cubeColour(static_cast<std::uint8_t>(index));
        table[index * kRgbBytes] = colour.red;
        table[index * kRgbBytes + 1] = colour.green;
        table[index * kRgbBytes + 2] = colour.blue;
    }
    return VImage::new_from_memory_copy(table, sizeof table, 256, 1, static_cast<int>(kRgbBytes),
                                        VIPS_FORMAT_UCHAR);
}

// The frames in `indices` (one below the other) as an RGB image; `indices` must outlive it.
VImage rgbImageOf(const std::uint8_t* indices, std::size_t size) {
    const VImage frames = VImage::new_from_memory(indices, size, kFrameWidth,
                                                  static_cast<int>(size / kFrameWidth), 1, VIPS_FORMAT_UCHAR);
    return frames.maplut(colourTable())
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
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

// A saved image's bytes written in place of `file`'s final name (flushed to the disk with `toDisk`).
bool writeBlob(VipsBlob* blob, toolkit::ReplacingFile& file, bool toDisk, std::string& error) {
    std::size_t size = 0;
    const void* bytes = vips_blob_get(blob, &size);
    toolkit::FileFailure failure;
    const bool written = file.write(bytes, size, failure) && file.commit(failure, toDisk);
    vips_area_unref(VIPS_AREA(blob));
    if (!written) {
        error = failure.reason;
    }
    return written;
}

}  // namespace

struct ImageLibraryHold::Library {
    imagelibrary::ImageLibrary library{"animdump", {}};
};
ImageLibraryHold::ImageLibraryHold() = default;
ImageLibraryHold::~ImageLibraryHold() = default;

bool ImageLibraryHold::start(std::string& error) {
    if (library_ == nullptr) {
        library_ = std::make_unique<Library>();
    }
    if (!library_->library.started()) {
        error = _("cannot start libvips: ") + library_->library.failure();
        return false;
    }
    return true;
}

#ifndef ANIMDUMP_GIF_WITH_GIFLIB
GifWriter::~GifWriter() {
    delete static_cast<GifFrames*>(state_);
}

bool GifWriter::open(const char* path, const GifPalette& palette, std::string& error) {
    // Created now, so that a path that cannot be written is reported before any frame is decoded.
    toolkit::FileFailure failure;
    if (!file_.open(path, ".animdump-", failure)) {
        error = failure.reason;
        return false;
    }
    auto* frames = new GifFrames;
    frames->palette = palette;
    state_ = frames;
    return true;
}

// The planned image drawn over the frame shown so far (its transparent pixels leave it as it was): libvips
// takes whole frames and finds the changed rectangles itself.
bool GifWriter::addImage(const GifImage& image, std::string& error) {
    auto* frames = static_cast<GifFrames*>(state_);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* values =
            image.pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
        std::uint8_t* row = frames->shown + static_cast<std::size_t>(image.top + y) * kFrameWidth +
                            static_cast<std::size_t>(image.left);
        for (int x = 0; x < image.width; ++x) {
            if (!image.hasTransparency || values[x] != kGifTransparentIndex) {
                row[x] = values[x];
            }
        }
    }
    try {
        frames->indices.insert(frames->indices.end(), frames->shown, frames->shown + kFramePixels);
        frames->delaysMs.push_back(int{image.delay} * kMillisecondsPerHundredth);
    } catch (const std::bad_alloc&) {
        error = _("not enough memory for the frames");
        return abandon(error);
    }
    return true;
}

bool GifWriter::close(std::string& error) {
    auto* frames = static_cast<GifFrames*>(state_);
    VipsBlob* saved = nullptr;
    try {
        VImage image = rgbImageOf(frames->indices.data(), frames->indices.size()).copy();
        image.set("page-height", kFrameHeight);
        image.set("delay", frames->delaysMs);
        image.set("loop", 0);  // forever
        image.set("gif-palette", paletteColours(frames->palette));
        saved = image.gifsave_buffer(VImage::option()
                                         ->set("dither", 0.0)
                                         ->set("reuse", true)
                                         ->set("keep_duplicate_frames", true)
                                         ->set("keep", VIPS_FOREIGN_KEEP_NONE));
    } catch (const vips::VError&) {
        error = libraryReason();
        return abandon(error);
    }
    delete frames;
    state_ = nullptr;
    return writeBlob(saved, file_, true, error);
}

// The frames dropped and the file abandoned; `error` is kept.
bool GifWriter::abandon(std::string&) {
    delete static_cast<GifFrames*>(state_);
    state_ = nullptr;
    file_.abandon();
    return false;
}

#endif

bool writePng(const std::string& path, const FrameIndices& frame, std::string& error) {
    toolkit::ReplacingFile file;
    const toolkit::RemovedOnInterrupt interrupts(file);
    toolkit::FileFailure failure;
    if (!file.open(path, ".animdump-", failure)) {
        error = failure.reason;
        return false;
    }
    VipsBlob* saved = nullptr;
    try {
        saved = rgbImageOf(frame.values, kFramePixels)
                    .pngsave_buffer(VImage::option()->set("keep", VIPS_FOREIGN_KEEP_NONE));
    } catch (const vips::VError&) {
        error = libraryReason();
        return false;
    }
    return writeBlob(saved, file, false, error);  // one file of many: not waited for
}

}  // namespace animdump
