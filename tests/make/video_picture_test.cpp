// What the FFmpeg reader takes from a frame and its stream, against the cases both video readers share
// (Media Foundation's side runs in the Windows tests), and its matrices against Media Foundation's.
#include <gtest/gtest.h>

extern "C" {
#include <libavutil/display.h>
#include <libavutil/frame.h>
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

#include <array>
#include <memory>

#include "make/inputs/ffmpeg_picture.h"
#include "video_pictures.h"

namespace maketest {
namespace {

using animmake::inputs::ColourMatrix;
using animmake::inputs::DeclaredPicture;
using animmake::inputs::VideoPicture;

struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using Frame = std::unique_ptr<AVFrame, FrameFreer>;

AVColorSpace colourSpaceOf(ColourMatrix matrix) {
    switch (matrix) {
        case ColourMatrix::bt601:
            return AVCOL_SPC_SMPTE170M;
        case ColourMatrix::bt709:
            return AVCOL_SPC_BT709;
        case ColourMatrix::smpte240m:
            return AVCOL_SPC_SMPTE240M;
        case ColourMatrix::fcc:
            return AVCOL_SPC_FCC;
        case ColourMatrix::bt2020:
            return AVCOL_SPC_BT2020_NCL;
    }
    return AVCOL_SPC_UNSPECIFIED;
}

// A decoded 4:2:0 frame as FFmpeg marks what the stream declares.
Frame frameOf(const DeclaredPicture& declared, AVPixelFormat format = AV_PIX_FMT_YUV420P) {
    Frame frame(av_frame_alloc());
    frame->width = declared.width;
    frame->height = declared.height;
    frame->format = format;
    frame->colorspace = declared.matrix ? colourSpaceOf(*declared.matrix) : AVCOL_SPC_UNSPECIFIED;
    frame->color_range = !declared.fullRange   ? AVCOL_RANGE_UNSPECIFIED
                         : *declared.fullRange ? AVCOL_RANGE_JPEG
                                               : AVCOL_RANGE_MPEG;
    frame->sample_aspect_ratio = {static_cast<int>(declared.aspectNum), static_cast<int>(declared.aspectDen)};
    return frame;
}

// The display matrix of a stream turned clockwise, as the demuxer hands a phone's over
// (av_display_rotation_get gives -90 for a portrait clip).
std::array<std::int32_t, 9> displayMatrixOf(double clockwiseDegrees) {
    std::array<std::int32_t, 9> matrix{};
    av_display_rotation_set(matrix.data(), clockwiseDegrees);
    return matrix;
}

TEST(FfmpegPicture, EachDeclaredPictureIsTakenAsBothReadersTakeIt) {
    for (const testsupport::VideoPictureCase& c : testsupport::videopictures::kCases) {
        SCOPED_TRACE(c.name);
        const Frame frame = frameOf(c.declared);
        const auto matrix = displayMatrixOf(c.declared.clockwiseDegrees);
        const VideoPicture picture = animmake::inputs::videoPictureOf(
            *frame, {0, 1}, c.declared.clockwiseDegrees != 0 ? matrix.data() : nullptr);
        testsupport::expectTakenAsBothReadersTakeIt(picture, c);
    }
}

// What only FFmpeg says: a JPEG pixel format's full range, the stream's pixel aspect where the frame has
// none, and display matrices turned by other angles.
TEST(FfmpegPicture, WhatOnlyFfmpegDeclares) {
    const DeclaredPicture sd{.width = 720, .height = 480};
    EXPECT_TRUE(
        animmake::inputs::videoPictureOf(*frameOf(sd, AV_PIX_FMT_YUVJ420P), {0, 1}, nullptr).fullRange);
    const VideoPicture fromStream = animmake::inputs::videoPictureOf(*frameOf(sd), {10, 11}, nullptr);
    EXPECT_EQ(fromStream.aspectNum, 10);
    EXPECT_EQ(fromStream.aspectDen, 11);
    struct Turn {
        double clockwiseDegrees;
        int quarterTurns;
    };
    for (const Turn turn : {Turn{90.5, 1}, Turn{-90, 3}, Turn{450, 1}, Turn{45, 0}, Turn{88, 0}}) {
        SCOPED_TRACE(turn.clockwiseDegrees);
        const auto matrix = displayMatrixOf(turn.clockwiseDegrees);
        EXPECT_EQ(animmake::inputs::videoPictureOf(*frameOf(sd), {0, 1}, matrix.data()).quarterTurns,
                  turn.quarterTurns);
    }
}

// Media Foundation's reader turns YUV into RGB with the luma weights, FFmpeg's with libswscale's tables
// (limited range, 16.16 fixed point): the same matrices, to a unit of those tables.
TEST(FfmpegPicture, LumaWeightsAreSwscalesMatrices) {
    for (const ColourMatrix matrix : {ColourMatrix::bt601, ColourMatrix::bt709, ColourMatrix::smpte240m,
                                      ColourMatrix::fcc, ColourMatrix::bt2020}) {
        SCOPED_TRACE(static_cast<int>(matrix));
        const auto [kr, kb] = animmake::inputs::lumaWeightsOf(matrix);
        const double kg = 1.0 - kr - kb;
        const double unit = 65536.0 * 255.0 / 224.0;
        const int* table = sws_getCoefficients(animmake::inputs::swsColourspaceOf(matrix));
        EXPECT_NEAR(2 * (1 - kr) * unit, table[0], 1.0);            // Cr to red
        EXPECT_NEAR(2 * (1 - kb) * unit, table[1], 1.0);            // Cb to blue
        EXPECT_NEAR(2 * kb * (1 - kb) / kg * unit, table[2], 1.0);  // Cb to green
        EXPECT_NEAR(2 * kr * (1 - kr) / kg * unit, table[3], 1.0);  // Cr to green
    }
}

}  // namespace
}  // namespace maketest
