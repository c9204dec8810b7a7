// What the Media Foundation reader takes from a media type, against the cases both video readers share
// (the FFmpeg side runs in animmake's tests on Linux): under wine the decoder's types carry none of these
// attributes, so the types are made here as a system decoder or source would hand them over.
#include <gtest/gtest.h>

#include <mfapi.h>
#include <wrl/client.h>

#include "make/inputs/mf_media_type.h"
#include "video_pictures.h"

namespace win32test {
namespace {

using animmake::inputs::ColourMatrix;
using animmake::inputs::DeclaredPicture;
using animmake::inputs::VideoPicture;
using Microsoft::WRL::ComPtr;

class MfMediaType : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE))); }
    void TearDown() override { MFShutdown(); }

    // An NV12 type with the frame size and whatever else the stream declares.
    static ComPtr<IMFMediaType> typeOf(const DeclaredPicture& declared) {
        ComPtr<IMFMediaType> type;
        if (FAILED(MFCreateMediaType(&type))) {
            ADD_FAILURE() << "MFCreateMediaType failed";
            return type;
        }
        type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        type->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_NV12);
        MFSetAttributeSize(type.Get(), MF_MT_FRAME_SIZE, static_cast<UINT32>(declared.width),
                           static_cast<UINT32>(declared.height));
        if (declared.matrix) {
            type->SetUINT32(MF_MT_YUV_MATRIX, transferMatrixOf(*declared.matrix));
        }
        if (declared.fullRange) {
            type->SetUINT32(MF_MT_VIDEO_NOMINAL_RANGE,
                            *declared.fullRange ? MFNominalRange_0_255 : MFNominalRange_16_235);
        }
        if (declared.aspectNum != 0) {
            MFSetAttributeRatio(type.Get(), MF_MT_PIXEL_ASPECT_RATIO, static_cast<UINT32>(declared.aspectNum),
                                static_cast<UINT32>(declared.aspectDen));
        }
        if (declared.clockwiseDegrees != 0) {
            type->SetUINT32(MF_MT_VIDEO_ROTATION, static_cast<UINT32>(declared.clockwiseDegrees));
        }
        return type;
    }

    static UINT32 transferMatrixOf(ColourMatrix matrix) {
        switch (matrix) {
            case ColourMatrix::bt601:
                return MFVideoTransferMatrix_BT601;
            case ColourMatrix::bt709:
                return MFVideoTransferMatrix_BT709;
            case ColourMatrix::smpte240m:
                return MFVideoTransferMatrix_SMPTE240M;
            case ColourMatrix::bt2020:
                return MFVideoTransferMatrix_BT2020_10;
            case ColourMatrix::fcc:
                break;  // Media Foundation has no name for it
        }
        return MFVideoTransferMatrix_Unknown;
    }
};

TEST_F(MfMediaType, EachDeclaredPictureIsTakenAsBothReadersTakeIt) {
    for (const testsupport::VideoPictureCase& c : testsupport::videopictures::kCases) {
        SCOPED_TRACE(c.name);
        const ComPtr<IMFMediaType> type = typeOf(c.declared);
        ASSERT_TRUE(type);
        const VideoPicture picture = animmake::inputs::videoPictureOf(*type.Get());
        testsupport::expectTakenAsBothReadersTakeIt(picture, c);
    }
}

// What only Media Foundation says: where the picture lies in the decoded buffer (an aperture inside the
// frame is the picture, one that is not is ignored), its other names for matrices and ranges, and a type
// with no size, which nothing can be fitted from.
TEST_F(MfMediaType, WhatOnlyMediaFoundationDeclares) {
    const ComPtr<IMFMediaType> type = typeOf({.width = 720, .height = 488});
    ASSERT_TRUE(type);
    type->SetUINT32(MF_MT_DEFAULT_STRIDE, 768);
    MFVideoArea inside{};
    inside.OffsetX.value = 8;
    inside.OffsetY.value = 4;
    inside.Area = {704, 480};
    type->SetBlob(MF_MT_MINIMUM_DISPLAY_APERTURE, reinterpret_cast<const UINT8*>(&inside), sizeof inside);
    type->SetUINT32(MF_MT_YUV_MATRIX, MFVideoTransferMatrix_BT2020_12);
    type->SetUINT32(MF_MT_VIDEO_NOMINAL_RANGE, MFNominalRange_48_208);
    const VideoPicture picture = animmake::inputs::videoPictureOf(*type.Get());
    EXPECT_EQ(picture, (VideoPicture{.width = 704, .height = 480, .matrix = ColourMatrix::bt2020}));
    const animmake::inputs::BufferLayout layout = animmake::inputs::bufferLayoutOf(*type.Get());
    EXPECT_EQ(layout.width, 720);
    EXPECT_EQ(layout.height, 488);
    EXPECT_EQ(layout.left, 8);
    EXPECT_EQ(layout.top, 4);
    EXPECT_EQ(layout.stride, 768);

    MFVideoArea outside = inside;
    outside.OffsetX.value = 24;  // 24 + 704 > 720
    type->SetBlob(MF_MT_MINIMUM_DISPLAY_APERTURE, reinterpret_cast<const UINT8*>(&outside), sizeof outside);
    EXPECT_EQ(animmake::inputs::videoPictureOf(*type.Get()).width, 720);
    EXPECT_EQ(animmake::inputs::bufferLayoutOf(*type.Get()).left, 0);

    ComPtr<IMFMediaType> bare;
    ASSERT_TRUE(SUCCEEDED(MFCreateMediaType(&bare)));
    EXPECT_FALSE(animmake::inputs::videoFitOf(animmake::inputs::videoPictureOf(*bare.Get()),
                                              animmake::inputs::Fit::contain));
}

}  // namespace
}  // namespace win32test
