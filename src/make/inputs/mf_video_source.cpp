// Videos on Windows through Media Foundation's source reader: the system's own decoders, no codec shipped.
// The reader is asked for NV12, which every decoder gives (wine's, through GStreamer, converts to nothing
// else); the planes are scaled by libvips to the size the fit shows the picture at and turned into the
// frame's colours here with the matrix and range the media type names. The turn, the placing and the timing
// are shared with FFmpeg's reader (fit_plan.h, video_frames.h).
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <windows.h>
#include <wrl/client.h>

#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "make/inputs/avi_header.h"
#include "make/inputs/fit_plan.h"
#include "make/inputs/mf_media_type.h"
#include "make/inputs/video_frames.h"
#include "make/inputs/video_signature.h"
#include "make/inputs/video_source.h"
#include "make/inputs/video_timeline.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animmake::inputs {
namespace {

using animconv::FrameBuffer, animconv::kFrameHeight, animconv::kFramePixels, animconv::kFrameWidth,
    animconv::kPixelBytes;
using Microsoft::WRL::ComPtr;
using vips::VImage;

constexpr DWORD kVideoStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM);
constexpr DWORD kAudioStream = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);
constexpr std::int64_t kTicksPerSecond = 10'000'000;  // Media Foundation's times are in 100 ns units

// COM on this thread and Media Foundation started, for the time one video is read.
class MediaFoundation {
  public:
    MediaFoundation() {
        // S_FALSE (already initialised) counts; another thread model is usable as it is.
        com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
        started_ = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE));
    }
    ~MediaFoundation() {
        if (started_) {
            MFShutdown();
        }
        if (com_) {
            CoUninitialize();
        }
    }
    MediaFoundation(const MediaFoundation&) = delete;
    MediaFoundation& operator=(const MediaFoundation&) = delete;
    bool started() const { return started_; }

  private:
    bool com_ = false;
    bool started_ = false;
};

// The codec a four-character code names ("VP90": VP9), or the code itself.
std::string codecNameOfFourcc(const std::string& code) {
    struct Known {
        const char* fourcc;
        const char* name;
    };
    static constexpr Known kKnown[] = {
        {"H264", "H.264"},         {"HEVC", "HEVC (H.265)"},
        {"H265", "HEVC (H.265)"},  {"VP80", "VP8"},
        {"VP90", "VP9"},           {"AV01", "AV1"},
        {"MP4V", "MPEG-4 Part 2"}, {"XVID", "MPEG-4 Part 2"},
        {"DIVX", "MPEG-4 Part 2"}, {"MJPG", "Motion JPEG"},
        {"WMV3", "WMV 9"},         {"WVC1", "VC-1"},
        {"theo", "Theora"},        {"MP43", "MPEG-4 Part 2 (MS)"},
    };
    for (const Known& known : kKnown) {
        if (code == known.fourcc) {
            return known.name;
        }
    }
    return code;
}

// The codec a video subtype names, for the line saying which decoder is missing; empty when the source
// gives decoded pictures already (wine's does, through GStreamer).
std::string codecName(const GUID& subtype) {
    char fourcc[5] = {};
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((subtype.Data1 >> (8 * i)) & 0xFF);
        fourcc[i] = c >= ' ' && c <= '~' ? c : '?';
    }
    const std::string code = fourcc;
    if (subtype == MFVideoFormat_MPEG2) {
        return "MPEG-2";
    }
    for (const GUID& decoded :
         {MFVideoFormat_NV12, MFVideoFormat_I420, MFVideoFormat_IYUV, MFVideoFormat_YV12, MFVideoFormat_YUY2,
          MFVideoFormat_UYVY, MFVideoFormat_RGB32, MFVideoFormat_RGB24}) {
        if (subtype == decoded) {
            return "";
        }
    }
    return codecNameOfFourcc(code);
}

// The video codec an AVI's header names, for a reader that leaves out a stream it cannot decode (wine's
// shows a VP9 AVI as sound alone, or not at all); empty when it is no AVI or names none.
std::string aviCodecName(const FileHead& head) {
    constexpr std::size_t kHeaderReach = 64 * 1024;  // as far as a header's list is looked for
    const std::string fourcc = aviVideoFourcc(head.bytes(), std::min(head.size, kHeaderReach));
    return fourcc.empty() ? "" : codecNameOfFourcc(fourcc);
}

std::string noDecoderReason(const std::string& codec) {
    return _("cannot decode its video: the system has no ") + codec + _(" decoder") + " (Media Foundation)";
}

// What a decoded picture is: where it lies in its buffer, and what the part shown is.
struct PictureFormat {
    BufferLayout layout;
    VideoPicture picture;
};

std::uint8_t clamped(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

// One plane scaled to exactly width x height: tent filter reducing (as images are), Lanczos enlarging.
VImage scaledTo(const VImage& plane, int width, int height) {
    const double scaleX = static_cast<double>(width) / plane.width();
    const double scaleY = static_cast<double>(height) / plane.height();
    VImage scaled = plane;
    if (scaleX != 1.0 || scaleY != 1.0) {
        vips::VOption* options = VImage::option()->set("vscale", scaleY);
        if (scaleX <= 1.0 && scaleY <= 1.0) {
            options->set("kernel", VIPS_KERNEL_LINEAR);
        }
        scaled = plane.resize(scaleX, options);
    }
    if (scaled.width() != width || scaled.height() != height) {
        scaled = scaled.embed(0, 0, width, height, VImage::option()->set("extend", VIPS_EXTEND_COPY));
    }
    return scaled;
}

// The image's pixels copied into `out`, which holds exactly as many bytes.
void copyPixels(const VImage& image, std::vector<std::uint8_t>& out) {
    std::size_t size = 0;
    const std::unique_ptr<void, decltype(&g_free)> memory(image.write_to_memory(&size), &g_free);
    if (size != out.size()) {
        throw vips::VError(_("unexpected size"));
    }
    std::memcpy(out.data(), memory.get(), size);
}

// A decoded NV12 picture fitted into the frame as the fit plans, turned as the stream says.
class Nv12Fitter {
  public:
    explicit Nv12Fitter(const SourceSettings& settings) : settings_(settings) {}

    bool fit(IMFSample& sample, const PictureFormat& format, FrameBuffer& frame) {
        if (!plan(format)) {
            return false;
        }
        ComPtr<IMFMediaBuffer> buffer;
        if (FAILED(sample.ConvertToContiguousBuffer(&buffer))) {
            return false;
        }
        BYTE* data = nullptr;
        DWORD length = 0;
        if (FAILED(buffer->Lock(&data, nullptr, &length))) {
            return false;
        }
        const bool scaled = scalePlanes(data, length, format);
        buffer->Unlock();
        if (!scaled) {
            return false;
        }
        toBgr0(format);
        placeTurned(bgr0_.data(), scaledWidth_, scaledHeight_, quarterTurns_, settings_.background,
                    frame.pixels);
        return true;
    }

  private:
    // The sizes for this format: as displayed (square pixels, turned), then as scaled before the turn.
    bool plan(const PictureFormat& format) {
        const std::optional<VideoFit> planned = videoFitOf(format.picture, settings_.fit);
        if (!planned) {
            return false;
        }
        scaledWidth_ = planned->scaledWidth;
        scaledHeight_ = planned->scaledHeight;
        quarterTurns_ = format.picture.quarterTurns;
        return true;
    }

    // The luma and chroma planes of the shown part, scaled to the planned size, copied out of the buffer.
    // The rows of a plane are its stride apart, when the type says; else as many as the buffer holds.
    bool scalePlanes(const BYTE* data, DWORD length, const PictureFormat& format) {
        const BufferLayout& layout = format.layout;
        const int shownWidth = format.picture.width;
        const int shownHeight = format.picture.height;
        const std::int64_t pitch = layout.stride >= layout.width ? layout.stride : layout.width;
        const std::int64_t rows =
            std::max<std::int64_t>(layout.height, (std::int64_t{length} * 2) / (pitch * 3));
        if (pitch <= 0 || pitch % 2 != 0 || pitch * rows + pitch * (rows / 2) > std::int64_t{length} ||
            layout.left + shownWidth > pitch || layout.top + shownHeight > rows) {
            return false;
        }
        try {
            const VImage luma =
                VImage::new_from_memory(const_cast<BYTE*>(data), static_cast<std::size_t>(pitch * rows),
                                        static_cast<int>(pitch), static_cast<int>(rows), 1, VIPS_FORMAT_UCHAR)
                    .crop(layout.left, layout.top, shownWidth, shownHeight);
            const int chromaWidth = (shownWidth + 1) / 2;
            const int chromaHeight = (shownHeight + 1) / 2;
            const VImage chroma =
                VImage::new_from_memory(
                    const_cast<BYTE*>(data + pitch * rows), static_cast<std::size_t>(pitch * (rows / 2)),
                    static_cast<int>(pitch / 2), static_cast<int>(rows / 2), 2, VIPS_FORMAT_UCHAR)
                    .crop(layout.left / 2, layout.top / 2,
                          std::min(chromaWidth, static_cast<int>(pitch / 2) - layout.left / 2),
                          std::min(chromaHeight, static_cast<int>(rows / 2) - layout.top / 2));
            copyOut(scaledTo(luma, scaledWidth_, scaledHeight_), luma_, 1);
            copyOut(scaledTo(chroma, scaledWidth_, scaledHeight_), chroma_, 2);
        } catch (const vips::VError&) {
            return false;
        }
        return true;
    }

    void copyOut(const VImage& image, std::vector<std::uint8_t>& out, int bands) const {
        out.resize(std::size_t(scaledWidth_) * std::size_t(scaledHeight_) * std::size_t(bands));
        copyPixels(image, out);  // the planes are read here, while the buffer is locked
    }

    // In the frame's blue, green, red, 0 layout.
    void toBgr0(const PictureFormat& format) {
        const bool fullRange = format.picture.fullRange;
        const double yScale = fullRange ? 1.0 : 255.0 / 219.0;
        const double yOffset = fullRange ? 0.0 : 16.0;
        const double cScale = fullRange ? 1.0 : 255.0 / 224.0;
        const auto [kr, kb] = lumaWeightsOf(format.picture.matrix);
        const double kg = 1.0 - kr - kb;
        const double crToR = 2.0 * (1.0 - kr);
        const double cbToB = 2.0 * (1.0 - kb);
        const std::size_t pixels = std::size_t(scaledWidth_) * std::size_t(scaledHeight_);
        bgr0_.resize(pixels * kPixelBytes);
        for (std::size_t i = 0; i < pixels; ++i) {
            const double y = (luma_[i] - yOffset) * yScale;
            const double cb = (chroma_[i * 2] - 128.0) * cScale;
            const double cr = (chroma_[i * 2 + 1] - 128.0) * cScale;
            const double r = y + crToR * cr;
            const double b = y + cbToB * cb;
            const double g = (y - kr * r - kb * b) / kg;
            std::uint8_t* pixel = &bgr0_[i * kPixelBytes];
            pixel[0] = clamped(b);
            pixel[1] = clamped(g);
            pixel[2] = clamped(r);
            pixel[3] = 0;
        }
    }

    const SourceSettings& settings_;
    int quarterTurns_ = 0;
    int scaledWidth_ = 0;
    int scaledHeight_ = 0;
    std::vector<std::uint8_t> luma_;
    std::vector<std::uint8_t> chroma_;
    std::vector<std::uint8_t> bgr0_;
};

// The video stream read in presentation order, timed, fitted and handed on.
class MediaFoundationSource : public SteppedSource {
  public:
    // What the container is and an AVI's codec are taken from the first bytes here.
    MediaFoundationSource(const std::string& path, const FileHead& head, const SourceSettings& settings)
        : path_(path),
          aviCodec_(aviCodecName(head)),
          settings_(settings),
          avi_(isAviHead(head)),
          tracksHaveLengths_(!avi_ && isIsoMediaHead(head)),
          handOff_(settings, queued, [this](FrameBuffer& frame) {
              return pending_ && fitter_->fit(*pending_.Get(), pendingFormat_, frame);
          }) {}

  private:
    enum class Phase { opening, reading, ending };

    bool step() override {
        std::string reason;
        switch (phase_) {
            case Phase::opening:
                if (settings_.awaitVideoTurn && !settings_.awaitVideoTurn()) {
                    return false;  // the run is stopping
                }
                if (!foundation_.started()) {
                    return fail(_("cannot read the video: Media Foundation is not available on this system"));
                }
                if (!open(reason) || !seek(reason)) {
                    return fail(reason);
                }
                phase_ = Phase::reading;
                return true;
            case Phase::reading:
                if (handOff_.stopped()) {
                    phase_ = Phase::ending;
                    return true;
                }
                return readSample(reason) || fail(reason);
            case Phase::ending:
                return end(reason) ? false : fail(reason);
        }
        return false;
    }

    // One sample read and taken; at the stream's end, the reading is over.
    bool readSample(std::string& reason) {
        DWORD stream = 0;
        DWORD flags = 0;
        LONGLONG time = 0;
        ComPtr<IMFSample> sample;
        const HRESULT status = reader_->ReadSample(kVideoStream, 0, &stream, &flags, &time, &sample);
        if (FAILED(status) || (flags & MF_SOURCE_READERF_ERROR) != 0) {
            reason = decoded_ == 0 ? _("cannot decode its video: the system's decoder refuses the stream "
                                       "(the file is damaged, or its codec unsupported)")
                                   : _("the video is cut short or damaged after ") + framesText(decoded_);
            return false;
        }
        if ((flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) != 0 && !readFormat(reason)) {
            return false;
        }
        if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0) {
            phase_ = Phase::ending;
            return true;
        }
        if (!sample) {
            return true;  // a gap in the stream
        }
        ++decoded_;
        return take(std::move(sample), reason);
    }

    // After the last sample, or the range's end: the last frame, and what the video lost.
    bool end(std::string& reason) {
        if (!handOff_.stopped() && !handOff_.finish()) {
            reason = unfitReason();
            return false;
        }
        if (handOff_.kept() == 0) {
            reason = nothingTakenReason(decoded_, settings_.video.startMicroseconds);
            return false;
        }
        // Only a video read whole is held to what its length and rate declare.
        if (!handOff_.stopped() && settings_.video.startMicroseconds <= 0 &&
            settings_.video.durationMicroseconds == kWholeVideo) {
            notice_ = damagedNotice(lost_->judge(0, true), 0, 0);
        }
        return true;
    }

    bool open(std::string& reason) {
        const std::string& path = path_;
        std::error_code error;
        const std::filesystem::path full = std::filesystem::absolute(toolplatform::pathOf(path), error);
        ComPtr<IMFAttributes> attributes;
        if (FAILED(MFCreateAttributes(&attributes, 1))) {
            reason = _("out of memory");
            return false;
        }
        // Lets the reader put a converter after a decoder that gives another YUV layout.
        attributes->SetUINT32(MF_SOURCE_READER_ENABLE_VIDEO_PROCESSING, TRUE);
        const HRESULT opened = MFCreateSourceReaderFromURL(
            (error ? toolplatform::pathOf(path) : full).wstring().c_str(), attributes.Get(), &reader_);
        if (FAILED(opened)) {
            const std::string& named = aviCodec_;
            if (!named.empty()) {
                reason = _("cannot decode its video: the system has no ") + named + _(" decoder") +
                         _(", or the file is damaged (Media Foundation)");
                return false;
            }
            reason =
                opened == MF_E_UNSUPPORTED_BYTESTREAM_TYPE || opened == MF_E_UNSUPPORTED_FORMAT
                    ? _("cannot read the video: the system has no reader for its container (Media "
                        "Foundation)")
                    : _("cannot read the video: the system's reader cannot open it (Media Foundation; the "
                        "file is damaged, or its container unsupported)");
            return false;
        }
        ComPtr<IMFMediaType> native;
        if (FAILED(reader_->GetNativeMediaType(kVideoStream, 0, &native))) {
            const std::string& named = aviCodec_;
            if (!named.empty()) {
                reason = noDecoderReason(named);
                return false;
            }
            ComPtr<IMFMediaType> audio;
            reason = SUCCEEDED(reader_->GetNativeMediaType(kAudioStream, 0, &audio))
                         ? _("no video stream: the file holds only sound")
                         : _("no video stream in the file");
            return false;
        }
        GUID subtype{};
        native->GetGUID(MF_MT_SUBTYPE, &subtype);
        const std::string codec = codecName(subtype);
        const std::string decoder = codec.empty() ? _("decoder for it") : codec + _(" decoder");
        UINT32 width = 0;
        UINT32 height = 0;
        MFGetAttributeSize(native.Get(), MF_MT_FRAME_SIZE, &width, &height);
        if (std::uint64_t{width} * height > settings_.maxPixels) {
            reason = tooManyPixelsReason(_("the video has "), width, height, settings_.maxPixels);
            return false;
        }
        reader_->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
        reader_->SetStreamSelection(kVideoStream, TRUE);
        ComPtr<IMFMediaType> wanted;
        if (FAILED(MFCreateMediaType(&wanted))) {
            reason = _("out of memory");
            return false;
        }
        wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
        wanted->SetGUID(MF_MT_SUBTYPE, MFVideoFormat_NV12);
        if (FAILED(reader_->SetCurrentMediaType(kVideoStream, nullptr, wanted.Get()))) {
            reason = _("cannot decode its video: the system has no ") + decoder + " (Media Foundation)";
            return false;
        }
        // The turn is the container's, on the type the source gives; the decoder's need not carry it.
        quarterTurns_ = videoPictureOf(*native.Get()).quarterTurns;
        if (!readFormat(reason)) {
            return false;
        }
        clock_ = clockOf(*native.Get());
        handOff_.start(clock_, expected_);
        lost_.emplace(clock_);
        fitter_.emplace(settings_);
        return true;
    }

    bool readFormat(std::string& reason) {
        ComPtr<IMFMediaType> current;
        if (FAILED(reader_->GetCurrentMediaType(kVideoStream, &current))) {
            reason = _("cannot decode its video: the system's decoder gives no pictures");
            return false;
        }
        format_ = {bufferLayoutOf(*current.Get()), videoPictureOf(*current.Get())};
        format_.picture.quarterTurns = quarterTurns_;
        return true;
    }

    // The stream's clock: 100 ns units, but an AVI's counts whole frames (its time base is its frame rate,
    // to which --start and --duration round as on Linux); the rate as the source says. The source's length
    // is the whole presentation's, as long as its longest stream: in ISO media, whose tracks have lengths
    // of their own, the last frame lasts its own duration instead, to the video track's end, as on Linux
    // (a sound track that runs on would hold it seconds longer); an AVI's length is its video's (entries
    // past the last picture extend it).
    VideoClock clockOf(IMFMediaType& native) {
        VideoClock clock;
        clock.timeBaseNum = 1;
        clock.timeBaseDen = kTicksPerSecond;
        UINT32 rateNum = 0;
        UINT32 rateDen = 0;
        if (SUCCEEDED(MFGetAttributeRatio(&native, MF_MT_FRAME_RATE, &rateNum, &rateDen)) && rateNum > 0 &&
            rateDen > 0) {
            rate_ = static_cast<double>(rateNum) / static_cast<double>(rateDen);
            if (avi_) {
                frameNum_ = rateNum;
                frameDen_ = rateDen;
                clock.timeBaseNum = rateDen;
                clock.timeBaseDen = rateNum;
            }
            clock.frameDuration = std::max<std::int64_t>(1, inClock(kTicksPerSecond * rateDen / rateNum));
        }
        PROPVARIANT duration;
        PropVariantInit(&duration);
        if (SUCCEEDED(reader_->GetPresentationAttribute(static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE),
                                                        MF_PD_DURATION, &duration)) &&
            duration.vt == VT_UI8 && duration.uhVal.QuadPart > 0 &&
            duration.uhVal.QuadPart < static_cast<ULONGLONG>(INT64_MAX)) {
            presentationLength_ = inClock(static_cast<std::int64_t>(duration.uhVal.QuadPart));
        }
        PropVariantClear(&duration);
        if (!tracksHaveLengths_) {
            clock.length = presentationLength_;
        }
        const auto seconds = [&](std::int64_t length) {
            return static_cast<double>(length) * static_cast<double>(clock.timeBaseNum) /
                   static_cast<double>(clock.timeBaseDen);
        };
        expected_ = expectedFrames(
            presentationLength_ ? std::optional<double>(seconds(*presentationLength_)) : std::nullopt, rate_,
            settings_.video);
        return clock;
    }

    // A time in 100 ns units in the clock's units, to the nearest.
    std::int64_t inClock(std::int64_t ticks) const {
        if (frameNum_ == 0) {
            return ticks;
        }
        return static_cast<std::int64_t>(
            std::llround(static_cast<long double>(ticks) * frameNum_ /
                         (static_cast<long double>(frameDen_) * kTicksPerSecond)));
    }

    // To the key frame before --start; the frames between it and --start are decoded and left out. The
    // first picture's time is the origin (wine's MP4 times count from before a B-frame stream's delay,
    // Linux's from its first picture), so it is read first; seeking is in times from the start.
    bool seek(std::string& reason) {
        const std::int64_t start = handOff_.startTime();
        if (start <= 0) {
            return true;
        }
        DWORD stream = 0;
        DWORD flags = 0;
        LONGLONG time = 0;
        ComPtr<IMFSample> sample;
        while (!sample && (flags & MF_SOURCE_READERF_ENDOFSTREAM) == 0) {
            const HRESULT status = reader_->ReadSample(kVideoStream, 0, &stream, &flags, &time, &sample);
            if (FAILED(status) || (flags & MF_SOURCE_READERF_ERROR) != 0) {
                reason =
                    _("cannot decode its video: the system's decoder refuses the stream (the file is "
                      "damaged, or its codec unsupported)");
                return false;
            }
        }
        decoded_ += sample ? 1u : 0u;
        LONGLONG origin = 0;
        if (sample && SUCCEEDED(sample->GetSampleTime(&origin))) {
            clock_.origin = inClock(origin);
            handOff_.start(clock_, expected_);
            lost_.emplace(clock_);
        }
        const std::int64_t startTicks =
            frameNum_ == 0 ? start : start * frameDen_ * kTicksPerSecond / frameNum_;
        PROPVARIANT position;
        PropVariantInit(&position);
        position.vt = VT_I8;
        position.hVal.QuadPart = startTicks;
        reader_->SetCurrentPosition(GUID_NULL, position);
        PropVariantClear(&position);
        return true;
    }

    // The sample becomes the pending one; the one before it is settled.
    bool take(ComPtr<IMFSample> sample, std::string& reason) {
        LONGLONG stamp = 0;
        const bool stamped = SUCCEEDED(sample->GetSampleTime(&stamp));
        LONGLONG duration = 0;
        if (FAILED(sample->GetSampleDuration(&duration))) {
            duration = 0;
        }
        lost_->arrive(stamped ? std::optional<std::int64_t>(inClock(stamp)) : std::nullopt);
        bool waits = false;
        if (!handOff_.arrive(stamped ? std::optional<std::int64_t>(inClock(stamp)) : std::nullopt,
                             inClock(duration), waits)) {
            reason = unfitReason();
            return false;
        }
        if (waits) {
            pending_ = std::move(sample);
            pendingFormat_ = format_;
        }
        return true;
    }

    std::string unfitReason() const {
        return _("cannot fit the video's ") + std::to_string(pendingFormat_.picture.width) + "x" +
               std::to_string(pendingFormat_.picture.height) + _(" pictures into the frame");
    }

    const std::string path_;
    const std::string aviCodec_;  // the video codec an AVI's header names; empty for others
    const SourceSettings& settings_;
    const bool avi_;
    const bool tracksHaveLengths_;      // ISO media: the last frame's own duration ends the video
    const MediaFoundation foundation_;  // first in, last out: after every object of its
    ComPtr<IMFSourceReader> reader_;
    int quarterTurns_ = 0;  // clockwise, for display
    PictureFormat format_;
    PictureFormat pendingFormat_;
    ComPtr<IMFSample> pending_;
    VideoClock clock_;
    std::optional<LostFrames> lost_;
    std::optional<Nv12Fitter> fitter_;
    VideoFrameHandOff handOff_;  // its fitting reads the pending sample and the fitter
    Phase phase_ = Phase::opening;
    std::int64_t frameNum_ = 0;  // an AVI's frame rate, its clock; 0 for 100 ns units
    std::int64_t frameDen_ = 1;
    double rate_ = 0;
    std::optional<std::int64_t> presentationLength_;  // in the clock's units, when the source says
    std::size_t expected_ = 0;
    std::size_t decoded_ = 0;
};

}  // namespace

bool videoSupported() {
    return true;
}

std::unique_ptr<Source> openVideo(const std::string& path, const FileHead* head,
                                  const SourceSettings& settings) {
    // The container's kind and an AVI's codec come from the first bytes; read here when a folder's listing
    // knew the file was a video without keeping them.
    FileHead ownHead;
    if (head == nullptr) {
        LoadFailure failure;
        if (!readFileHead(path, ownHead, failure.reason)) {
            return std::make_unique<RefusedSource>(std::move(failure));
        }
        head = &ownHead;
    }
    return std::make_unique<MediaFoundationSource>(path, *head, settings);
}

void configureVideoLibrary() {}

}  // namespace animmake::inputs
