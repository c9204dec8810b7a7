#include "make/inputs/video_source.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libavutil/pixdesc.h>
#include <libavutil/version.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "make/inputs/ffmpeg_picture.h"
#include "make/inputs/fit_plan.h"
#include "make/inputs/video_frames.h"
#include "make/inputs/video_timeline.h"
#include "toolkit/translation.h"

namespace animmake::inputs {
namespace {

using animconv::FrameBuffer;
using animconv::kFrameHeight;
using animconv::kFrameWidth;
using animconv::kPixelBytes;

struct FormatCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct DecoderFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
using FramePointer = std::unique_ptr<AVFrame, FrameFreer>;

// Only local files: a playlist or a nested URL never reaches the network.
std::string fileUrl(const std::string& path) {
    return "file:" + path;
}

// The library's own way of opening files, wrapped so that every file it opens (the input, and any a
// container refers to) is counted.
std::atomic<decltype(AVFormatContext::io_open)> libraryOpen{nullptr};

int countedOpen(AVFormatContext* context, AVIOContext** io, const char* url, int flags,
                AVDictionary** options) {
    countInputOpen();
    return libraryOpen.load()(context, io, url, flags, options);
}

void countOpens(AVFormatContext& context) {
    if (context.io_open != nullptr && context.io_open != &countedOpen) {
        libraryOpen.store(context.io_open);
        context.io_open = &countedOpen;
    }
}

// Single images that libavformat also reads (as one-frame "videos"): those stay libvips' business.
bool isImageDemuxer(const AVInputFormat& format) {
    const std::string name = format.name;
    const auto endsWith = [&](const char* suffix) {
        const std::size_t length = std::strlen(suffix);
        return name.size() >= length && name.compare(name.size() - length, length, suffix) == 0;
    };
    return endsWith("_pipe") || name == "image2" || name == "gif" || name == "apng" || name == "ico" ||
           name == "tty";
}

// The stream's display matrix, kept with the fitter; none where the stream has none.
using DisplayMatrix = std::optional<std::array<std::int32_t, 9>>;

DisplayMatrix displayMatrixOf(const AVStream& stream) {
    const auto* matrix = reinterpret_cast<const std::int32_t*>(
        av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    if (matrix == nullptr) {
        return std::nullopt;
    }
    std::array<std::int32_t, 9> kept{};
    std::copy(matrix, matrix + kept.size(), kept.begin());
    return kept;
}

// Scaling a decoded picture straight to the size the fit shows it at, then placing it, turned, in the frame.
class SwscaleFitter {
  public:
    SwscaleFitter(const SourceSettings& settings, const DisplayMatrix& displayMatrix, AVRational streamAspect)
        : settings_(settings), displayMatrix_(displayMatrix), streamAspect_(streamAspect) {}

    bool fit(const AVFrame& picture, FrameBuffer& frame) {
        if (!prepare(picture)) {
            return false;
        }
        std::uint8_t* planes[4] = {scaled_.data(), nullptr, nullptr, nullptr};
        int strides[4] = {scaledWidth_ * static_cast<int>(kPixelBytes), 0, 0, 0};
        sws_scale(scaler_.get(), picture.data, picture.linesize, 0, picture.height, planes, strides);
        placeTurned(scaled_.data(), scaledWidth_, scaledHeight_, quarterTurns_, settings_.background,
                    frame.pixels);
        return true;
    }

  private:
    struct Shape {
        int format = -1;
        VideoPicture picture;
        bool operator==(const Shape&) const = default;
    };

    bool prepare(const AVFrame& picture) {
        const Shape shape{picture.format, videoPictureOf(picture, streamAspect_,
                                                         displayMatrix_ ? displayMatrix_->data() : nullptr)};
        if (scaler_ && shape == shape_) {
            return true;
        }
        shape_ = shape;
        const std::optional<VideoFit> planned = videoFitOf(shape.picture, settings_.fit);
        if (!planned) {
            return false;
        }
        scaledWidth_ = planned->scaledWidth;
        scaledHeight_ = planned->scaledHeight;
        quarterTurns_ = shape.picture.quarterTurns;
        // Reducing: swscale's bilinear filter widens with the reduction (an antialiasing tent, as for
        // images); enlarging: Lanczos.
        const bool enlarging = scaledWidth_ > picture.width || scaledHeight_ > picture.height;
        scaler_.reset(sws_getContext(picture.width, picture.height,
                                     static_cast<AVPixelFormat>(picture.format), scaledWidth_, scaledHeight_,
                                     AV_PIX_FMT_BGR0, enlarging ? SWS_LANCZOS : SWS_BILINEAR, nullptr,
                                     nullptr, nullptr));
        if (!scaler_) {
            return false;
        }
        sws_setColorspaceDetails(scaler_.get(), sws_getCoefficients(swsColourspaceOf(shape.picture.matrix)),
                                 shape.picture.fullRange ? 1 : 0, sws_getCoefficients(SWS_CS_DEFAULT), 1, 0,
                                 1 << 16, 1 << 16);
        scaled_.assign(std::size_t(scaledWidth_) * std::size_t(scaledHeight_) * kPixelBytes, 0);
        return true;
    }

    const SourceSettings& settings_;
    const DisplayMatrix displayMatrix_;
    const AVRational streamAspect_;
    Shape shape_;
    std::unique_ptr<SwsContext, ScalerFreer> scaler_;
    std::vector<std::uint8_t> scaled_;
    int scaledWidth_ = 0;
    int scaledHeight_ = 0;
    int quarterTurns_ = 0;
};

// How long the frame lasts by its own account; 0 when unknown. AVFrame::duration replaced pkt_duration in
// libavutil 57.30 (FFmpeg 6); Debian 12 has 57.28.
std::int64_t ownDuration(const AVFrame& frame) {
#if LIBAVUTIL_VERSION_INT >= AV_VERSION_INT(57, 30, 100)
    return frame.duration;
#else
    return frame.pkt_duration;
#endif
}

// One video stream decoded in presentation order, timed, fitted and handed on.
class FfmpegVideoSource : public SteppedSource {
  public:
    FfmpegVideoSource(const std::string& path, const SourceSettings& settings)
        : path_(path),
          settings_(settings),
          handOff_(settings, queued, [this](FrameBuffer& frame) { return fitter_->fit(*pending_, frame); }) {}

  private:
    enum class Phase { opening, reading, ending };

    bool step() override {
        std::string reason;
        switch (phase_) {
            case Phase::opening:
                if (settings_.awaitVideoTurn && !settings_.awaitVideoTurn()) {
                    return false;  // the run is stopping
                }
                if (!begin(reason)) {
                    return fail(reason);
                }
                phase_ = Phase::reading;
                return true;
            case Phase::reading:
                if (!more_ || handOff_.stopped()) {
                    phase_ = Phase::ending;
                    return true;
                }
                return readPacket(reason) || fail(reason);
            case Phase::ending:
                if (end(reason)) {
                    return false;
                }
                return fail(reason);
        }
        return false;
    }

    bool begin(std::string& reason) {
        if (!open(path_, reason)) {
            return false;
        }
        packet_.reset(av_packet_alloc());
        decoded_.reset(av_frame_alloc());
        pending_.reset(av_frame_alloc());
        if (!packet_ || !decoded_ || !pending_) {
            reason = _("out of memory");
            return false;
        }
        seek();
        return true;
    }

    // One packet read and decoded, and the frames it completes taken.
    bool readPacket(std::string& reason) {
        const int got = av_read_frame(format_.get(), packet_.get());
        if (got == AVERROR_EOF) {
            if (!seeked_ && endsEarly()) {
                reason = _("the video is cut short: the file ends after ") + std::to_string(packetsRead_) +
                         _(" of its ") +
                         framesText(static_cast<std::size_t>(std::max<std::int64_t>(listed(), packetsRead_)));
                return false;
            }
            if (!seeked_ && !oggEndsWithItsLastPage()) {
                reason = _("the video is cut short: the file ends after ") +
                         framesText(static_cast<std::size_t>(packetsRead_)) + _(", before its last page");
                return false;
            }
            readToEnd_ = true;
            more_ = false;
            avcodec_send_packet(decoder_.get(), nullptr);  // drain the frames still inside
        } else if (got < 0) {
            reason = _("the video is cut short or damaged after ") + framesText(framesDecoded_);
            return false;
        } else {
            const bool ours = packet_->stream_index == stream_->index;
            notePacketEnd();
            packetsRead_ += ours ? 1 : 0;
            cutOff_ = cutOff_ || (ours && (packet_->flags & AV_PKT_FLAG_CORRUPT) != 0);
            if (ours && avcodec_send_packet(decoder_.get(), packet_.get()) < 0) {
                ++damaged_;
            }
            av_packet_unref(packet_.get());
            if (!ours) {
                return true;
            }
        }
        return receiveFrames(reason);
    }

    // After the last packet, or the range's end: the last frame, and what the video lost.
    bool end(std::string& reason) {
        if (!handOff_.stopped() && !handOff_.finish()) {
            reason = unfitReason();
            return false;
        }
        if (handOff_.kept() == 0) {
            reason = nothingTakenReason(framesDecoded_, settings_.video.startMicroseconds);
            return false;
        }
        // Only a video read whole, from its start to its end, is held to what its container declares.
        LostFrames::Verdict lost;
        if (readToEnd_ && !seeked_ && !handOff_.stopped() && settings_.video.startMicroseconds <= 0 &&
            settings_.video.durationMicroseconds == kWholeVideo) {
            if (packetsEndEarly()) {
                reason = _("the video is cut short: the file ends at ") + secondsText(lastPacketEnd_) +
                         _(" of its ") + secondsText(format_->duration) + _(", after ") +
                         framesText(framesDecoded_);
                return false;
            }
            lost = lost_->judge(framesIndexed(), std::strcmp(format_->iformat->name, "avi") != 0);
        }
        notice_ = damagedNotice(lost, damaged_, concealed_);
        return true;
    }

    bool open(const std::string& path, std::string& reason) {
        AVFormatContext* opened = avformat_alloc_context();
        if (opened == nullptr) {
            reason = _("out of memory");
            return false;
        }
        countOpens(*opened);
        AVDictionary* options = nullptr;
        av_dict_set(&options, "protocol_whitelist", "file", 0);
        const int status = avformat_open_input(&opened, fileUrl(path).c_str(), nullptr, &options);
        av_dict_free(&options);
        if (status < 0) {
            reason = _("cannot read the video: the file is cut short or damaged (its header is unreadable)");
            return false;
        }
        format_.reset(opened);
        if (avformat_find_stream_info(format_.get(), nullptr) < 0) {
            reason =
                _("cannot read the video: the file is cut short or damaged (its streams are unreadable)");
            return false;
        }
        bool audio = false;
        for (unsigned i = 0; i < format_->nb_streams; ++i) {
            AVStream* stream = format_->streams[i];
            const AVMediaType type = stream->codecpar->codec_type;
            audio = audio || type == AVMEDIA_TYPE_AUDIO;
            if (type == AVMEDIA_TYPE_VIDEO && (stream->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0 &&
                stream_ == nullptr) {
                stream_ = stream;
            } else if (type != AVMEDIA_TYPE_AUDIO) {
                stream->discard = AVDISCARD_ALL;
            }
        }
        if (stream_ == nullptr) {
            reason =
                audio ? _("no video stream: the file holds only sound") : _("no video stream in the file");
            return false;
        }
        const AVCodecParameters& parameters = *stream_->codecpar;
        const std::uint64_t pixels =
            std::uint64_t(std::max(0, parameters.width)) * std::uint64_t(std::max(0, parameters.height));
        if (pixels > settings_.maxPixels) {
            reason = tooManyPixelsReason(_("the video has "), static_cast<std::uint64_t>(parameters.width),
                                         static_cast<std::uint64_t>(parameters.height), settings_.maxPixels);
            return false;
        }
        const AVCodec* codec = avcodec_find_decoder(parameters.codec_id);
        if (codec == nullptr) {
            reason = std::string(_("cannot decode its video: this FFmpeg build has no decoder for ")) +
                     avcodec_get_name(parameters.codec_id);
            return false;
        }
        decoder_.reset(avcodec_alloc_context3(codec));
        if (!decoder_ || avcodec_parameters_to_context(decoder_.get(), &parameters) < 0) {
            reason = _("out of memory");
            return false;
        }
        decoder_->pkt_timebase = stream_->time_base;
        decoder_->thread_count = 0;  // as many as there are cores
        decoder_->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        if (avcodec_open2(decoder_.get(), codec, nullptr) < 0) {
            reason = std::string(_("cannot decode its video: the ")) + avcodec_get_name(parameters.codec_id) +
                     _(" decoder refuses the stream");
            return false;
        }
        timeBase_ = stream_->time_base;
        fitter_.emplace(settings_, displayMatrixOf(*stream_),
                        av_guess_sample_aspect_ratio(format_.get(), stream_, nullptr));
        indexed_ = avformat_index_get_entries_count(stream_) > 0;
        const AVRational rate = stream_->avg_frame_rate;
        handOff_.start(
            clockOf(),
            expectedFrames(format_->duration > 0
                               ? std::optional<double>(static_cast<double>(format_->duration) / AV_TIME_BASE)
                               : std::nullopt,
                           rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0.0, settings_.video));
        lost_.emplace(declaredClock());
        return true;
    }

    // How far into the file its packets reach, sound's too, from the container's start.
    void notePacketEnd() {
        if (packet_->pts == AV_NOPTS_VALUE) {
            return;
        }
        const AVRational base = format_->streams[packet_->stream_index]->time_base;
        const std::int64_t start = format_->start_time != AV_NOPTS_VALUE ? format_->start_time : 0;
        const std::int64_t end =
            av_rescale_q(packet_->pts + std::max<std::int64_t>(0, packet_->duration), base, AV_TIME_BASE_Q) -
            start;
        lastPacketEnd_ = std::max(lastPacketEnd_, end);
    }

    // Read to its end, the file's packets stop well before the length its container states (Matroska and
    // WebM state it in the header; a cut file loses the rest).
    bool packetsEndEarly() const {
        if (format_->duration <= 0 || lastPacketEnd_ <= 0 || framesIndexed() > 0) {
            return false;
        }
        const AVRational rate = stream_->avg_frame_rate;
        const std::int64_t frame =
            rate.num > 0 && rate.den > 0 ? av_rescale_q(1, av_inv_q(rate), AV_TIME_BASE_Q) : 0;
        const std::int64_t slack = std::max<std::int64_t>(3 * frame, AV_TIME_BASE / 4);
        return lastPacketEnd_ + slack < format_->duration;
    }

    static std::string secondsText(std::int64_t microseconds) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(microseconds) / AV_TIME_BASE);
        return text;
    }

    // The clock the lost frames are counted by: the codec's stated rate (Theora's, where the average may be
    // none or nonsense) before the average, and a length the video's own, or the container's when nothing
    // else is in it (sound may last longer).
    VideoClock declaredClock() const {
        VideoClock clock = clockOf();
        const AVRational rate = stream_->r_frame_rate;
        if (rate.num > 0 && rate.den > 0) {
            clock.frameDuration = std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(rate), timeBase_));
        }
        const bool ownLength = stream_->duration != AV_NOPTS_VALUE && stream_->duration > 0;
        if (!ownLength && format_->nb_streams > 1) {
            clock.length.reset();
        }
        return clock;
    }

    // An Ogg file ends with a whole page that closes its stream; one cut short ends inside a page or
    // before the last.
    bool oggEndsWithItsLastPage() const {
        if (std::strcmp(format_->iformat->name, "ogg") != 0) {
            return true;
        }
        const std::int64_t size = avio_size(format_->pb);
        constexpr std::int64_t kTail = 65536 + 512;  // the longest page and more
        const std::int64_t from = std::max<std::int64_t>(0, size - kTail);
        if (size <= 0 || avio_seek(format_->pb, from, SEEK_SET) < 0) {
            return true;
        }
        std::vector<std::uint8_t> tail(static_cast<std::size_t>(size - from));
        if (avio_read(format_->pb, tail.data(), static_cast<int>(tail.size())) !=
            static_cast<int>(tail.size())) {
            return true;
        }
        constexpr std::size_t kHeader = 27;
        for (std::size_t at = tail.size() >= kHeader ? tail.size() - kHeader + 1 : 0; at-- > 0;) {
            if (std::memcmp(tail.data() + at, "OggS", 4) != 0) {
                continue;
            }
            const std::size_t segments = tail[at + 26];
            if (at + kHeader + segments > tail.size()) {
                return false;
            }
            std::size_t body = 0;
            for (std::size_t i = 0; i < segments; ++i) {
                body += tail[at + kHeader + i];
            }
            const bool lastPage = (tail[at + 5] & 0x04) != 0;
            return at + kHeader + segments + body == tail.size() && lastPage;
        }
        return true;
    }

    // The stream's clock for the timeline: its time base, start, frame rate and length (the container's
    // length when the stream has none of its own).
    VideoClock clockOf() const {
        VideoClock clock;
        clock.timeBaseNum = timeBase_.num;
        clock.timeBaseDen = timeBase_.den;
        if (stream_->start_time != AV_NOPTS_VALUE) {
            clock.origin = stream_->start_time;
        }
        const AVRational rate = stream_->avg_frame_rate;
        if (rate.num > 0 && rate.den > 0) {
            clock.frameDuration = std::max<std::int64_t>(1, av_rescale_q(1, av_inv_q(rate), timeBase_));
        }
        if (stream_->duration != AV_NOPTS_VALUE && stream_->duration > 0) {
            clock.length = stream_->duration;
        } else if (format_->duration > 0) {
            clock.length = av_rescale_q(format_->duration, AV_TIME_BASE_Q, timeBase_);
        }
        return clock;
    }

    // The frames the container lists; 0 when it does not say.
    std::int64_t listed() const {
        return std::max<std::int64_t>(stream_->nb_frames, avformat_index_get_entries_count(stream_));
    }

    // The frames the container lists one by one: AVI's index (whose header may count its dropped frames,
    // entries with no picture, too), or the count it states (MP4's); 0 where it lists none.
    std::int64_t framesIndexed() const {
        const int entries = avformat_index_get_entries_count(stream_);
        if (std::strcmp(format_->iformat->name, "avi") == 0 && entries > 0) {
            return entries;
        }
        return std::max<std::int64_t>(0, stream_->nb_frames);
    }

    // Read from the beginning to its end, the file holds fewer bytes than the container promises: a packet
    // cut off, an index entry past the end, or (with no index to go by) fewer packets than it lists. Index
    // entries that hold no picture (AVI's dropped frames) are not listed in the index and do not count.
    bool endsEarly() const {
        if (cutOff_) {
            return true;
        }
        if (!indexed_) {
            return stream_->nb_frames > 0 && packetsRead_ < stream_->nb_frames;
        }
        const int entries = avformat_index_get_entries_count(stream_);
        const AVIndexEntry* last = entries > 0 ? avformat_index_get_entry(stream_, entries - 1) : nullptr;
        const std::int64_t fileSize = avio_size(format_->pb);
        return last != nullptr && fileSize > 0 && last->pos + last->size > fileSize;
    }

    // To the key frame before --start where the file allows; otherwise the frames before it are decoded
    // and left out.
    void seek() {
        const std::int64_t start = handOff_.startTime();
        if (start <= 0) {
            return;
        }
        const std::int64_t origin = stream_->start_time != AV_NOPTS_VALUE ? stream_->start_time : 0;
        if (av_seek_frame(format_.get(), stream_->index, origin + start, AVSEEK_FLAG_BACKWARD) >= 0) {
            avcodec_flush_buffers(decoder_.get());
            seeked_ = true;
        }
    }

    bool receiveFrames(std::string& reason) {
        for (;;) {
            const int got = avcodec_receive_frame(decoder_.get(), decoded_.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
                return true;
            }
            if (got < 0) {
                ++damaged_;
                continue;
            }
            ++framesDecoded_;
            const std::int64_t stamp = decoded_->best_effort_timestamp;
            lost_->arrive(stamp == AV_NOPTS_VALUE ? std::nullopt : std::optional<std::int64_t>(stamp));
            if ((decoded_->flags & AV_FRAME_FLAG_CORRUPT) != 0) {
                ++concealed_;
            }
            const bool ok = take(reason);
            av_frame_unref(decoded_.get());
            if (!ok) {
                return false;
            }
            if (handOff_.stopped()) {
                return true;
            }
        }
    }

    // The decoded frame becomes the pending one; the one before it is settled.
    bool take(std::string& reason) {
        const std::int64_t stamp = decoded_->best_effort_timestamp;
        bool waits = false;
        if (!handOff_.arrive(stamp == AV_NOPTS_VALUE ? std::nullopt : std::optional<std::int64_t>(stamp),
                             ownDuration(*decoded_), waits)) {
            reason = unfitReason();
            return false;
        }
        if (waits) {
            av_frame_unref(pending_.get());
            av_frame_move_ref(pending_.get(), decoded_.get());
        }
        return true;
    }

    std::string unfitReason() const {
        const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(pending_->format));
        return _("cannot fit the video's ") + std::to_string(pending_->width) + "x" +
               std::to_string(pending_->height) + " " + (name != nullptr ? name : _("unknown")) +
               _(" pictures into the frame");
    }

    const std::string path_;
    const SourceSettings& settings_;
    VideoFrameHandOff handOff_;
    Phase phase_ = Phase::opening;
    bool more_ = true;  // packets are still to be read
    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, DecoderFreer> decoder_;
    std::unique_ptr<AVPacket, PacketFreer> packet_;
    FramePointer decoded_;
    FramePointer pending_;
    AVStream* stream_ = nullptr;
    AVRational timeBase_{1, 1};
    std::optional<SwscaleFitter> fitter_;
    std::optional<LostFrames> lost_;
    std::size_t framesDecoded_ = 0;
    std::size_t damaged_ = 0;
    std::size_t concealed_ = 0;
    std::int64_t packetsRead_ = 0;
    bool indexed_ = false;  // the container's index was read with its header
    bool cutOff_ = false;   // a packet came back shorter than the container said
    bool seeked_ = false;
    bool readToEnd_ = false;          // the file's end was reached
    std::int64_t lastPacketEnd_ = 0;  // microseconds from the container's start
};

}  // namespace

bool videoSupported() {
    return true;
}

bool isVideoHead(const FileHead& head) {
    // By content alone (no name given): a file's extension does not make it a video. As libavformat probes
    // a file it opens: from 2 KiB up, doubling, until a format is sure, and at the end the likeliest one
    // if it is likely enough.
    std::vector<std::uint8_t> padded(head.size + AVPROBE_PADDING_SIZE);
    const AVInputFormat* format = nullptr;
    int score = 0;
    for (std::size_t size = std::min<std::size_t>(2048, head.size);; size = std::min(size * 2, head.size)) {
        // Zeros after the bytes probed, as the probes expect.
        std::memcpy(padded.data(), head.bytes(), size);
        std::memset(padded.data() + size, 0, AVPROBE_PADDING_SIZE);
        AVProbeData probe{};
        probe.filename = "";
        probe.buf = padded.data();
        probe.buf_size = static_cast<int>(size);
        format = av_probe_input_format3(&probe, 1, &score);
        if (score > AVPROBE_SCORE_RETRY || size == head.size) {
            break;
        }
    }
    return score >= AVPROBE_SCORE_RETRY && format != nullptr && !isImageDemuxer(*format);
}

std::unique_ptr<Source> openVideo(const std::string& path, const FileHead*, const SourceSettings& settings) {
    return std::make_unique<FfmpegVideoSource>(path, settings);
}

void configureVideoLibrary() {
    av_log_set_level(AV_LOG_QUIET);
}

}  // namespace animmake::inputs
