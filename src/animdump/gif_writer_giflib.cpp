// animdump's animated GIF written with giflib, from the frames' colour indices as they are: the Linux build
// links Debian's giflib, the Windows build the same library compiled from its source
// (cmake/giflib_windows.cmake), so both write the same bytes.
#include <gif_lib.h>

#include <cstring>
#include <vector>

#include "animdump/image_files.h"

namespace animdump {
namespace {

using animconv::cubeColour, animconv::kFrameHeight, animconv::kFrameWidth, animconv::Rgb;

constexpr int kColourMapEntries = 256;
constexpr int kColourResolution = 8;

// The application extension that makes viewers loop the animation: "NETSCAPE2.0", then sub-block 1 with a
// loop count of 0 (forever).
constexpr char kLoopApplication[] = "NETSCAPE2.0";
constexpr GifByteType kLoopForever[] = {1, 0, 0};

constexpr std::size_t kWriteChunk = 65536;

// The library writes through this, a few bytes at a time: they are gathered into whole chunks.
int writeGifBytes(GifFileType* file, const GifByteType* bytes, int count) {
    return takeGifBytes(*static_cast<GifWriter*>(file->UserData), bytes, count);
}

bool writeWhole(toolkit::ReplacingFile& file, const std::vector<std::uint8_t>& bytes, std::string& reason) {
    toolkit::FileFailure failure;
    if (!bytes.empty() && !file.write(bytes.data(), bytes.size(), failure)) {
        reason = failure.reason;
        return false;
    }
    return true;
}

}  // namespace

int takeGifBytes(GifWriter& writer, const std::uint8_t* bytes, int count) {
    writer.unwritten_.insert(writer.unwritten_.end(), bytes, bytes + count);
    if (writer.unwritten_.size() >= kWriteChunk) {
        if (!writeWhole(writer.file_, writer.unwritten_, writer.writeReason_)) {
            return 0;
        }
        writer.unwritten_.clear();
    }
    return count;
}

GifWriter::~GifWriter() {
    if (state_ != nullptr) {
        EGifCloseFile(static_cast<GifFileType*>(state_), nullptr);
        state_ = nullptr;
    }
}

// The library's writer ended, the file abandoned; `error` says what failed.
bool GifWriter::abandon(std::string& error) {
    auto* file = static_cast<GifFileType*>(state_);
    const int code = file->Error;
    EGifCloseFile(file, nullptr);
    state_ = nullptr;
    file_.abandon();
    error = code == E_GIF_ERR_WRITE_FAILED && !writeReason_.empty() ? writeReason_ : GifErrorString(code);
    return false;
}

bool GifWriter::open(const char* path, const GifPalette& palette, std::string& error) {
    toolkit::FileFailure failure;
    if (!file_.open(path, ".animdump-", failure)) {
        error = failure.reason;
        return false;
    }
    unwritten_.clear();
    writeReason_.clear();
    int code = 0;
    GifFileType* file = EGifOpen(this, writeGifBytes, &code);
    if (file == nullptr) {
        error = GifErrorString(code);
        file_.abandon();
        return false;
    }
    state_ = file;
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
    auto* file = static_cast<GifFileType*>(state_);
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
    auto* file = static_cast<GifFileType*>(state_);
    int code = 0;
    state_ = nullptr;
    if (EGifCloseFile(file, &code) == GIF_ERROR) {
        error = code == E_GIF_ERR_WRITE_FAILED && !writeReason_.empty() ? writeReason_ : GifErrorString(code);
        file_.abandon();
        return false;
    }
    toolkit::FileFailure failure;
    if (!writeWhole(file_, unwritten_, error) || !file_.commit(failure)) {
        error = error.empty() ? failure.reason : error;
        file_.abandon();
        return false;
    }
    return true;
}

}  // namespace animdump
