#include "animdump/image_files.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace animdump {

using animconv::cubeColour, animconv::kFrameHeight, animconv::kFramePixels, animconv::kFrameWidth,
    animconv::Rgb;

// giflib and libpng need no start.
struct ImageLibraryHold::Library {};
ImageLibraryHold::ImageLibraryHold() = default;
ImageLibraryHold::~ImageLibraryHold() = default;

bool ImageLibraryHold::start(std::string&) {
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
    // Encoded once into room for the largest PNG it can be.
    std::vector<std::uint8_t> encoded(PNG_IMAGE_PNG_SIZE_MAX(image));
    png_alloc_size_t size = encoded.size();
    if (png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), 0, nullptr) == 0) {
        error = image.message;
        png_image_free(&image);
        return false;
    }
    encoded.resize(size);
    toolkit::ReplacingFile file;
    const toolkit::RemovedOnInterrupt interrupts(file);
    toolkit::FileFailure failure;
    // One file of many: renamed into place without waiting for the disk.
    if (!file.open(path, ".animdump-", failure) || !file.write(encoded.data(), encoded.size(), failure) ||
        !file.commit(failure, false)) {
        error = failure.reason;
        return false;
    }
    return true;
}

}  // namespace animdump
