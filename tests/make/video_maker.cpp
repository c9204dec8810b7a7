#include "video_maker.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace maketest {
namespace {

// Sends one frame (or the end, for nullptr) and writes the packets that come out.
void writePackets(AVCodecContext* encoder, AVFrame* frame, AVFormatContext* output, AVStream* stream,
                  const ClipPlan& clip) {
    ASSERT_GE(avcodec_send_frame(encoder, frame), 0);
    AVPacket* packet = av_packet_alloc();
    while (avcodec_receive_packet(encoder, packet) >= 0) {
        // Each frame lasts until the next one; the last as long as a frame step.
        const std::int64_t index = packet->pts;
        const auto stampOf = [&](std::int64_t i) {
            return clip.stamps.empty() ? i : clip.stamps[static_cast<std::size_t>(i)];
        };
        const std::int64_t at = stampOf(index);
        const std::int64_t next = index + 1 < clip.frames ? stampOf(index + 1)
                                  : index > 0             ? at + (at - stampOf(index - 1))
                                                          : at + 1;
        if (std::find(clip.junkFrames.begin(), clip.junkFrames.end(), index) != clip.junkFrames.end()) {
            for (int i = 0; i < packet->size; ++i) {
                packet->data[i] = static_cast<std::uint8_t>(i * 37);
            }
        }
        packet->pts = at;
        packet->dts = at;
        packet->duration = next - at;
        av_packet_rescale_ts(packet, AVRational{clip.timeBaseNum, clip.timeBaseDen}, stream->time_base);
        packet->stream_index = stream->index;
        ASSERT_GE(av_interleaved_write_frame(output, packet), 0);
    }
    av_packet_free(&packet);
}

}  // namespace

void writeVideo(const std::string& path, const ClipPlan& clip) {
    AVFormatContext* output = nullptr;
    ASSERT_GE(avformat_alloc_output_context2(&output, nullptr, nullptr, path.c_str()), 0);
    const AVCodec* codec = avcodec_find_encoder_by_name(clip.codec);
    ASSERT_NE(codec, nullptr) << clip.codec;
    AVStream* stream = avformat_new_stream(output, nullptr);
    AVCodecContext* encoder = avcodec_alloc_context3(codec);
    encoder->width = clip.width;
    encoder->height = clip.height;
    encoder->pix_fmt = AV_PIX_FMT_YUV420P;
    // Frames are numbered 0, 1, 2 for the encoder (no B-frames); their times are set on the packets.
    encoder->time_base = AVRational{1, 1000};
    encoder->gop_size = 10;
    encoder->max_b_frames = 0;
    encoder->sample_aspect_ratio = AVRational{clip.sampleAspectNum, clip.sampleAspectDen};
    encoder->bit_rate = 400'000;
    if ((output->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    ASSERT_GE(avcodec_open2(encoder, codec, nullptr), 0);
    avcodec_parameters_from_context(stream->codecpar, encoder);
    if (clip.labelledAs != nullptr) {
        const AVCodecDescriptor* label = avcodec_descriptor_get_by_name(clip.labelledAs);
        ASSERT_NE(label, nullptr) << clip.labelledAs;
        stream->codecpar->codec_id = label->id;
        stream->codecpar->codec_tag = 0;
    }
    stream->time_base = AVRational{clip.timeBaseNum, clip.timeBaseDen};
    stream->sample_aspect_ratio = encoder->sample_aspect_ratio;
    if (clip.clockwiseRotation != 0) {
        auto* matrix = reinterpret_cast<std::int32_t*>(
            av_stream_new_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, sizeof(std::int32_t) * 9));
        // As this FFmpeg's MP4 muxer and demuxer round it: read back as a phone writes a clockwise turn
        // (av_display_rotation_get gives -90 for a portrait clip), checked below.
        av_display_rotation_set(matrix, clip.clockwiseRotation);
    }
    ASSERT_GE(avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
    ASSERT_GE(avformat_write_header(output, nullptr), 0);

    AVFrame* frame = av_frame_alloc();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = clip.width;
    frame->height = clip.height;
    ASSERT_GE(av_frame_get_buffer(frame, 0), 0);
    SwsContext* converter = sws_getContext(clip.width, clip.height, AV_PIX_FMT_RGB24, clip.width, clip.height,
                                           AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr);
    std::vector<std::uint8_t> rgb(std::size_t(clip.width) * std::size_t(clip.height) * 3);
    for (int index = 0; index < clip.frames; ++index) {
        for (int y = 0; y < clip.height; ++y) {
            for (int x = 0; x < clip.width; ++x) {
                const auto grey = static_cast<std::uint8_t>(40 + (index * 7) % 180);
                const Rgb colour = clip.paint ? clip.paint(index, x, y) : Rgb{grey, grey, grey};
                std::uint8_t* pixel = &rgb[(std::size_t(y) * std::size_t(clip.width) + std::size_t(x)) * 3];
                pixel[0] = colour.red;
                pixel[1] = colour.green;
                pixel[2] = colour.blue;
            }
        }
        ASSERT_GE(av_frame_make_writable(frame), 0);
        const std::uint8_t* planes[1] = {rgb.data()};
        const int strides[1] = {clip.width * 3};
        sws_scale(converter, planes, strides, 0, clip.height, frame->data, frame->linesize);
        frame->pts = index;
        writePackets(encoder, frame, output, stream, clip);
    }
    writePackets(encoder, nullptr, output, stream, clip);
    ASSERT_GE(av_write_trailer(output), 0);
    sws_freeContext(converter);
    av_frame_free(&frame);
    avcodec_free_context(&encoder);
    avio_closep(&output->pb);
    avformat_free_context(output);
    if (clip.clockwiseRotation != 0) {
        AVFormatContext* input = nullptr;
        ASSERT_GE(avformat_open_input(&input, path.c_str(), nullptr, nullptr), 0);
        const auto* matrix = reinterpret_cast<const std::int32_t*>(
            av_stream_get_side_data(input->streams[0], AV_PKT_DATA_DISPLAYMATRIX, nullptr));
        ASSERT_NE(matrix, nullptr);
        EXPECT_NEAR(std::fmod(-av_display_rotation_get(matrix) + 360.0, 360.0), clip.clockwiseRotation, 0.5);
        avformat_close_input(&input);
    }
}

bool hasDecoder(const char* codec) {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get_by_name(codec);
    return descriptor != nullptr && avcodec_find_decoder(descriptor->id) != nullptr;
}

bool hasEncoder(const char* codec) {
    return avcodec_find_encoder_by_name(codec) != nullptr;
}

}  // namespace maketest
