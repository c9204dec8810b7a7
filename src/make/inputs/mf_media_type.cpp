#include "make/inputs/mf_media_type.h"

#include <mfapi.h>

#include <algorithm>
#include <cstdint>

namespace animmake::inputs {
namespace {

// The frame size, and the display aperture's place and size where the type has one inside the frame.
struct Aperture {
    BufferLayout layout;
    int shownWidth = 0;
    int shownHeight = 0;
};

Aperture apertureOf(IMFAttributes& type) {
    Aperture aperture;
    UINT32 width = 0;
    UINT32 height = 0;
    MFGetAttributeSize(&type, MF_MT_FRAME_SIZE, &width, &height);
    aperture.layout.width = static_cast<int>(std::min<UINT32>(width, 1u << 16));
    aperture.layout.height = static_cast<int>(std::min<UINT32>(height, 1u << 16));
    aperture.shownWidth = aperture.layout.width;
    aperture.shownHeight = aperture.layout.height;
    MFVideoArea area{};
    UINT32 areaSize = 0;
    if (SUCCEEDED(type.GetBlob(MF_MT_MINIMUM_DISPLAY_APERTURE, reinterpret_cast<UINT8*>(&area), sizeof area,
                               &areaSize)) &&
        areaSize == sizeof area && area.OffsetX.value >= 0 && area.OffsetY.value >= 0 && area.Area.cx > 0 &&
        area.Area.cy > 0 && std::int64_t{area.OffsetX.value} + area.Area.cx <= aperture.layout.width &&
        std::int64_t{area.OffsetY.value} + area.Area.cy <= aperture.layout.height) {
        aperture.layout.left = area.OffsetX.value;
        aperture.layout.top = area.OffsetY.value;
        aperture.shownWidth = area.Area.cx;
        aperture.shownHeight = area.Area.cy;
    }
    UINT32 stride = 0;
    if (SUCCEEDED(type.GetUINT32(MF_MT_DEFAULT_STRIDE, &stride))) {
        aperture.layout.stride = static_cast<LONG>(stride);
    }
    return aperture;
}

std::optional<ColourMatrix> declaredMatrix(UINT32 matrix) {
    switch (matrix) {
        case MFVideoTransferMatrix_BT601:
            return ColourMatrix::bt601;
        case MFVideoTransferMatrix_BT709:
            return ColourMatrix::bt709;
        case MFVideoTransferMatrix_SMPTE240M:
            return ColourMatrix::smpte240m;
        case MFVideoTransferMatrix_BT2020_10:
        case MFVideoTransferMatrix_BT2020_12:
            return ColourMatrix::bt2020;
        default:
            return std::nullopt;
    }
}

std::optional<bool> declaredFullRange(UINT32 range) {
    switch (range) {
        case MFNominalRange_0_255:
            return true;
        case MFNominalRange_16_235:
            return false;
        default:
            return std::nullopt;
    }
}

}  // namespace

VideoPicture videoPictureOf(IMFAttributes& type) {
    const Aperture aperture = apertureOf(type);
    DeclaredPicture declared;
    declared.width = aperture.shownWidth;
    declared.height = aperture.shownHeight;
    declared.matrix =
        declaredMatrix(MFGetAttributeUINT32(&type, MF_MT_YUV_MATRIX, MFVideoTransferMatrix_Unknown));
    declared.fullRange =
        declaredFullRange(MFGetAttributeUINT32(&type, MF_MT_VIDEO_NOMINAL_RANGE, MFNominalRange_Unknown));
    UINT32 aspectNum = 0;
    UINT32 aspectDen = 0;
    if (SUCCEEDED(MFGetAttributeRatio(&type, MF_MT_PIXEL_ASPECT_RATIO, &aspectNum, &aspectDen))) {
        declared.aspectNum = aspectNum;
        declared.aspectDen = aspectDen;
    }
    declared.clockwiseDegrees = MFGetAttributeUINT32(&type, MF_MT_VIDEO_ROTATION, MFVideoRotationFormat_0);
    return pictureOf(declared);
}

BufferLayout bufferLayoutOf(IMFAttributes& type) {
    return apertureOf(type).layout;
}

}  // namespace animmake::inputs
