#include "animdump/image_files.h"

#include <gif_lib.h>
#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace animdump {
namespace {

using animconv::cubeColour;
using animconv::kFrameHeight;
using animconv::kFramePixels;
using animconv::kFrameWidth;
using animconv::Rgb;

constexpr int kColourMapEntries = 256;
constexpr int kColourResolution = 8;

// The application extension that makes viewers loop the animation: "NETSCAPE2.0", then sub-block 1 with a
// loop count of 0 (forever).
constexpr char kLoopApplication[] = "NETSCAPE2.0";
constexpr GifByteType kLoopForever[] = {1, 0, 0};

// The library writes through this, so the file is created with the usual permissions and its close is seen.
int writeGifBytes(GifFileType* file, const GifByteType* bytes, int count) {
    std::FILE* output = static_cast<std::FILE*>(file->UserData);
    return static_cast<int>(std::fwrite(bytes, 1, static_cast<std::size_t>(count), output));
}

}  // namespace

// giflib and libpng need no start.
struct ImageLibraryHold::Library {};
ImageLibraryHold::ImageLibraryHold() = default;
ImageLibraryHold::~ImageLibraryHold() = default;

bool ImageLibraryHold::start(std::string&) {
    return true;
}

GifWriter::~GifWriter() {
    if (file_ != nullptr) {
        std::string ignored;
        finish(ignored);
        std::remove(path_.c_str());
    }
}

// Ends the library's writer and closes the file; false when either failed.
bool GifWriter::finish(std::string& error) {
    auto* file = static_cast<GifFileType*>(file_);
    std::FILE* output = static_cast<std::FILE*>(file->UserData);
    int code = 0;
    const bool gifClosed = EGifCloseFile(file, &code) != GIF_ERROR;
    const bool fileClosed = std::fclose(output) == 0;
    file_ = nullptr;
    if (!gifClosed) {
        error = GifErrorString(code);
    } else if (!fileClosed) {
        error = std::strerror(errno);
    }
    return gifClosed && fileClosed;
}

bool GifWriter::abandon(std::string& error) {
    std::string ignored;
    const int code = static_cast<GifFileType*>(file_)->Error;
    const int systemError = errno;
    finish(ignored);
    error = code == E_GIF_ERR_WRITE_FAILED && systemError != 0 ? std::strerror(systemError)
                                                               : GifErrorString(code);
    std::remove(path_.c_str());
    return false;
}

bool GifWriter::open(const char* path, const GifPalette& palette, std::string& error) {
    std::FILE* output = std::fopen(path, "wb");
    if (output == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    int code = 0;
    GifFileType* file = EGifOpen(output, writeGifBytes, &code);
    if (file == nullptr) {
        error = GifErrorString(code);
        std::fclose(output);
        std::remove(path);
        return false;
    }
    file_ = file;
    path_ = path;
    palette_ = palette;

    GifColorType colours[kColourMapEntries] = {};
    for (int slot = 0; slot < palette.entries; ++slot) {
        if (slot != palette.transparentSlot) {
            const Rgb colour = cubeColour(palette.indexAt[slot]);
            colours[slot] = GifColorType{colour.red, colour.green, colour.blue};
        }
    }
    ColorMapObject* colourMap = GifMakeMapObject(1 << palette.bits, colours);
    if (colourMap == nullptr) {
        file->Error = E_GIF_ERR_NOT_ENOUGH_MEM;
        return abandon(error);
    }
    EGifSetGifVersion(file, true);  // the delays live in GIF89a extensions
    const int screenStatus =
        EGifPutScreenDesc(file, kFrameWidth, kFrameHeight, kColourResolution, 0, colourMap);
    GifFreeMapObject(colourMap);  // the library keeps its own copy
    if (screenStatus == GIF_ERROR || EGifPutExtensionLeader(file, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(file, static_cast<int>(std::strlen(kLoopApplication)), kLoopApplication) ==
            GIF_ERROR ||
        EGifPutExtensionBlock(file, static_cast<int>(sizeof kLoopForever), kLoopForever) == GIF_ERROR ||
        EGifPutExtensionTrailer(file) == GIF_ERROR) {
        return abandon(error);
    }
    return true;
}

bool GifWriter::addImage(const GifImage& image, std::string& error) {
    auto* file = static_cast<GifFileType*>(file_);
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;  // the next image is drawn over this one
    control.UserInputFlag = false;
    control.DelayTime = image.delay;
    control.TransparentColor = image.hasTransparency ? palette_.transparentSlot : NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const std::size_t extensionLength = EGifGCBToExtension(&control, extension);
    if (EGifPutExtension(file, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(extensionLength), extension) ==
            GIF_ERROR ||
        EGifPutImageDesc(file, image.left, image.top, image.width, image.height, false, nullptr) ==
            GIF_ERROR) {
        return abandon(error);
    }
    GifPixelType row[kFrameWidth];
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* values =
            image.pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
        for (int x = 0; x < image.width; ++x) {
            row[x] = palette_.slotOf[values[x]];
        }
        if (EGifPutLine(file, row, image.width) == GIF_ERROR) {
            return abandon(error);
        }
    }
    return true;
}

bool GifWriter::close(std::string& error) {
    if (!finish(error)) {
        std::remove(path_.c_str());
        return false;
    }
    return true;
}

bool writePng(const std::string& path, const FrameIndices& frame, std::string& error) {
    constexpr std::size_t kRgbBytes = 3;
    std::vector<std::uint8_t> rgb(kFramePixels * kRgbBytes);
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        const Rgb colour = cubeColour(frame.values[i]);
        rgb[i * kRgbBytes] = colour.red;
        rgb[i * kRgbBytes + 1] = colour.green;
        rgb[i * kRgbBytes + 2] = colour.blue;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = kFrameWidth;
    image.height = kFrameHeight;
    image.format = PNG_FORMAT_RGB;
    if (png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) == 0) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

}  // namespace animdump
