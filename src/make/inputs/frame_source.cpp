#include "make/inputs/frame_source.h"

#include <vips/vips8>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <vector>

#include "convert/convert_frame.h"
#include "make/inputs/fit_plan.h"
#include "make/inputs/stream_source.h"
#include "make/inputs/video_frames.h"
#include "make/inputs/video_source.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animmake::inputs {
namespace {

using animconv::FrameBuffer, animconv::kFrameHeight, animconv::kFramePixels, animconv::kFrameWidth,
    animconv::kPixelBytes;
using vips::VImage;

constexpr const char* kNotAnImage = N_("not an image, video or stream file");

std::vector<double> backgroundOf(const SourceSettings& settings) {
    return {static_cast<double>(settings.background.red), static_cast<double>(settings.background.green),
            static_cast<double>(settings.background.blue)};
}

// Formats other than JPEG whose loader can decode at a reduced size: libvips' thumbnail reads them that way
// and also applies their ICC profile and orientation.
bool shrinksOnLoad(const std::string& loader) {
    for (const char* prefix : {"webpload", "heifload", "pdfload", "svgload", "jp2kload", "jxlload"}) {
        if (loader.rfind(prefix, 0) == 0) {
            return true;
        }
    }
    return false;
}

// sRGB through the embedded ICC profile when there is one, 8 bits, alpha flattened onto the background.
VImage srgbFlattened(VImage image, const SourceSettings& settings) {
    if (image.get_typeof(VIPS_META_ICC_NAME) != 0) {
        image = image.icc_transform("srgb", VImage::option()->set("embedded", true)->set("depth", 8));
    }
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB || image.format() != VIPS_FORMAT_UCHAR) {
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    }
    if (image.has_alpha()) {
        image = image.flatten(VImage::option()->set("background", backgroundOf(settings)));
    }
    if (image.bands() > 3) {
        image = image.extract_band(0, VImage::option()->set("n", 3));
    }
    if (image.format() != VIPS_FORMAT_UCHAR) {
        image = image.cast(VIPS_FORMAT_UCHAR);
    }
    return image;
}

// Scaled for the fit. Reducing runs one tent (linear) filter as wide as the reduction on each axis, an
// antialiasing low-pass in a single pass over the decoded rows; only reductions above kWidestTent first take
// a box average by whole factors, to bound the filter's width. Measured on 1280x720 PNGs it adds 0.8 ms a
// frame to decoding, against 2.5 ms for a box average then Lanczos 3 and 3.5 ms for Lanczos 3 alone.
// Enlarging uses Lanczos 3.
constexpr double kWidestTent = 12.0;

VImage resampled(VImage image, const SourceSettings& settings) {
    const double width = image.width();
    const double height = image.height();
    if (image.width() == kFrameWidth && image.height() == kFrameHeight) {
        return image;
    }
    const ShownSize shown = shownSize(width, height, settings.fit);
    const double targetWidth = shown.width;
    const double targetHeight = shown.height;
    if (targetWidth > width || targetHeight > height) {
        return image.resize(targetWidth / width, VImage::option()->set("vscale", targetHeight / height));
    }
    const auto boxFactor = [](double factor) {
        return factor > kWidestTent ? static_cast<int>(factor / (kWidestTent / 2)) : 1;
    };
    const int boxX = boxFactor(width / targetWidth);
    const int boxY = boxFactor(height / targetHeight);
    if (boxX > 1 || boxY > 1) {
        image = image.shrink(boxX, boxY);
    }
    if (image.width() != targetWidth || image.height() != targetHeight) {
        image = image.reduce(image.width() / targetWidth, image.height() / targetHeight,
                             VImage::option()->set("kernel", VIPS_KERNEL_LINEAR));
    }
    return image;
}

// Placed in the frame as the fit plans.
VImage placed(VImage image, const SourceSettings& settings) {
    const Placement placement = placementOf(image.width(), image.height());
    if (placement.width != image.width() || placement.height != image.height()) {
        image = image.crop(placement.left, placement.top, placement.width, placement.height);
    }
    if (image.width() != kFrameWidth || image.height() != kFrameHeight) {
        image = image.embed(placement.frameLeft, placement.frameTop, kFrameWidth, kFrameHeight,
                            VImage::option()
                                ->set("extend", VIPS_EXTEND_BACKGROUND)
                                ->set("background", backgroundOf(settings)));
    }
    return image;
}

// A JPEG decoded at 1/2, 1/4 or 1/8 of its size where the fit allows (the decoder then skips most of its
// work), turned upright by its orientation tag, then fitted as any other image. Measured on 1920x1080
// JPEGs: a third less work than libvips' thumbnail, which keeps a larger margin before its own filter.
VImage jpegFitted(const std::string& path, const VImage& header, const SourceSettings& settings) {
    const int orientation =
        header.get_typeof(VIPS_META_ORIENTATION) != 0 ? header.get_int(VIPS_META_ORIENTATION) : 1;
    const bool turned = orientation >= 5 && orientation <= 8;  // width and height swap
    double scaleX = 0;
    double scaleY = 0;
    fitScales(turned ? header.height() : header.width(), turned ? header.width() : header.height(),
              settings.fit, scaleX, scaleY);
    const double scale = std::max(scaleX, scaleY);
    int shrink = 1;
    while (shrink < 8 && scale * shrink * 2 <= 1.0) {
        shrink *= 2;
    }
    // Turning needs the whole (small) image; upright ones are read top to bottom once.
    const bool upright = orientation <= 1 || orientation > 8;
    VImage image =
        VImage::new_from_file(toolplatform::libraryName(path).c_str(),
                              VImage::option()
                                  ->set("shrink", shrink)
                                  ->set("fail_on", VIPS_FAIL_ON_ERROR)
                                  ->set("access", upright ? VIPS_ACCESS_SEQUENTIAL : VIPS_ACCESS_RANDOM));
    if (!upright) {
        image = image.autorot();
    }
    return placed(resampled(srgbFlattened(image, settings), settings), settings);
}

VImage thumbnailFromFile(const std::string& path, const SourceSettings& settings) {
    vips::VOption* options =
        VImage::option()->set("height", kFrameHeight)->set("fail_on", VIPS_FAIL_ON_ERROR);
    if (settings.fit == Fit::cover) {
        options->set("crop", VIPS_INTERESTING_CENTRE);
    } else if (settings.fit == Fit::stretch) {
        options->set("size", VIPS_SIZE_FORCE);
    }
    return placed(
        srgbFlattened(VImage::thumbnail(toolplatform::libraryName(path).c_str(), kFrameWidth, options),
                      settings),
        settings);
}

// The fitted frame's pixels in the decoder's blue, green, red, 0 layout.
void toFrame(const VImage& image, FrameBuffer& frame) {
    std::size_t size = 0;
    const std::unique_ptr<std::uint8_t, decltype(&g_free)> memory(
        static_cast<std::uint8_t*>(image.write_to_memory(&size)), &g_free);
    if (size != kFramePixels * 3) {
        throw vips::VError(_("the fitted frame has an unexpected size"));
    }
    const std::uint8_t* rgb = memory.get();
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        frame.pixels[i * kPixelBytes] = rgb[i * 3 + 2];
        frame.pixels[i * kPixelBytes + 1] = rgb[i * 3 + 1];
        frame.pixels[i * kPixelBytes + 2] = rgb[i * 3];
        frame.pixels[i * kPixelBytes + 3] = 0;
    }
}

// A page's delay in milliseconds in whole wait units, at least 1.
int waitOfDelay(int delayMs, int waitUnitMs) {
    const long units = std::lround(static_cast<double>(delayMs) / waitUnitMs);
    return static_cast<int>(std::clamp(units, 1L, 255L));
}

bool isAnimationLoader(const std::string& loader) {
    return loader.rfind("gifload", 0) == 0 || loader.rfind("webpload", 0) == 0;
}

// An image through libvips: one frame, or an animation's pages one at a time.
class ImageSource : public SteppedSource {
  public:
    ImageSource(const std::string& path, const SourceSettings& settings) : path_(path), settings_(settings) {}

  private:
    bool step() override {
        try {
            return all_ ? nextPage() : begin();
        } catch (const vips::VError& error) {
            std::string& text = failure_.libraryText;
            text = error.what();
            while (!text.empty() && text.back() == '\n') {
                text.pop_back();
            }
            vips_error_clear();
            return fail(plainReason(text));
        }
    }

    bool begin() {
        // The header alone: nothing is decoded before the size check. Read top to bottom once when decoded.
        const VImage header = VImage::new_from_file(
            toolplatform::libraryName(path_).c_str(),
            VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", VIPS_FAIL_ON_ERROR));
        const std::uint64_t pixels = std::uint64_t(static_cast<unsigned>(header.width())) *
                                     std::uint64_t(static_cast<unsigned>(header.height()));
        if (pixels > settings_.maxPixels) {
            return fail(tooManyPixelsReason(_("the image has "), static_cast<unsigned>(header.width()),
                                            static_cast<unsigned>(header.height()), settings_.maxPixels));
        }
        const std::string loader =
            header.get_typeof("vips-loader") != 0 ? header.get_string("vips-loader") : "";
        const int pages = header.get_typeof("n-pages") != 0 ? header.get_int("n-pages") : 1;
        if (!isAnimationLoader(loader) || pages <= 1) {
            auto frame = std::make_unique<FrameBuffer>();
            if (loader.rfind("jpegload", 0) == 0) {
                toFrame(jpegFitted(path_, header, settings_), *frame);
            } else if (shrinksOnLoad(loader)) {
                toFrame(thumbnailFromFile(path_, settings_), *frame);
            } else {
                toFrame(placed(resampled(srgbFlattened(header, settings_), settings_), settings_), *frame);
            }
            queued(SourceFrame{std::move(frame), kNoWait, 1});
            return false;
        }
        // All pages, composited by the loader, read top to bottom once: one page is fitted at a time.
        all_.emplace(VImage::new_from_file(toolplatform::libraryName(path_).c_str(),
                                           VImage::option()
                                               ->set("n", -1)
                                               ->set("access", VIPS_ACCESS_SEQUENTIAL)
                                               ->set("fail_on", VIPS_FAIL_ON_ERROR)));
        pageHeight_ = vips_image_get_page_height(all_->get_image());
        count_ = all_->height() / pageHeight_;
        if (all_->get_typeof("delay") != 0) {
            delays_ = all_->get_array_int("delay");
        }
        return nextPage();
    }

    bool nextPage() {
        if (page_ >= count_) {
            return false;
        }
        auto frame = std::make_unique<FrameBuffer>();
        const VImage one = all_->crop(0, page_ * pageHeight_, all_->width(), pageHeight_);
        toFrame(placed(resampled(srgbFlattened(one, settings_), settings_), settings_), *frame);
        const auto page = static_cast<std::size_t>(page_);
        const int wait =
            page < delays_.size() ? waitOfDelay(delays_[page], settings_.video.waitUnitMs) : kNoWait;
        queued(SourceFrame{std::move(frame), wait, static_cast<std::size_t>(count_)});
        return ++page_ < count_;
    }

    const std::string path_;
    const SourceSettings& settings_;
    std::optional<VImage> all_;  // an animation's pages, stacked
    int pageHeight_ = 0;
    int count_ = 0;
    int page_ = 0;
    std::vector<int> delays_;
};

// A BMP's one frame, decoded already.
class DecodedSource : public Source {
  public:
    explicit DecodedSource(std::unique_ptr<FrameBuffer> frame) : frame_(std::move(frame)) {}
    bool next(SourceFrame& frame) override {
        if (!frame_) {
            return false;
        }
        frame = SourceFrame{std::move(frame_), kNoWait, 1};
        return true;
    }

  private:
    std::unique_ptr<FrameBuffer> frame_;
};

// The image kind a file's name says ("PNG" for photo.png); empty when it says none.
std::string imageKindNamed(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t base = path.find_last_of("/\\");
    if (dot == std::string::npos || (base != std::string::npos && dot < base)) {
        return {};
    }
    std::string kind = path.substr(dot + 1);
    std::transform(kind.begin(), kind.end(), kind.begin(),
                   [](char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c); });
    for (const char* image : {"PNG", "JPG", "JPEG", "GIF", "WEBP", "BMP", "TIF", "TIFF", "HEIC", "AVIF"}) {
        if (kind == image) {
            return kind;
        }
    }
    return {};
}

// libvips' last resort: ImageMagick claims nearly any file, videos included.
bool isMagickLoader(const char* loader) {
    return std::strstr(loader, "Magick") != nullptr;
}

// What the claims learnt of the file on the way, for its opening or its refusal.
struct InputLook {
    const FileHead& head;
    std::unique_ptr<FrameBuffer> bmpFrame;  // a BMP's frame, decoded by its claim
    std::string streamBreak;                // where it breaks as a stream
};

bool claimsAsBmp(const std::string&, InputLook& look) {
    auto frame = std::make_unique<FrameBuffer>();
    if (animconv::decodeInput(look.head.bytes(), kHeadBytes, *frame) != animconv::InputStatus::decoded) {
        return false;
    }
    look.bmpFrame = std::move(frame);
    return true;
}

bool claimsAsStream(const std::string&, InputLook& look) {
    return startsAsStream(look.head, look.streamBreak);
}

// An image a loader of libvips' own reads, by the first bytes alone.
bool claimsAsOwnImage(const std::string&, InputLook& look) {
    VipsSource* source = vips_source_new_from_memory(look.head.bytes(), look.head.size);
    if (source == nullptr) {
        vips_error_clear();
        return false;
    }
    const char* loader = vips_foreign_find_load_source(source);
    g_object_unref(source);
    if (loader == nullptr) {
        vips_error_clear();
        return false;
    }
    return !isMagickLoader(loader);
}

bool claimsAsVideo(const std::string&, InputLook& look) {
    return isVideoHead(look.head);
}

// Any loader, by the file: those that know a file by its name or read more than its first bytes, and
// ImageMagick.
bool claimsAsAnyImage(const std::string& path, InputLook&) {
    countInputOpen();  // at least once: each loader that knows files by their bytes opens it
    if (vips_foreign_find_load(toolplatform::libraryName(path).c_str()) != nullptr) {
        return true;
    }
    vips_error_clear();
    return false;
}

// What an input's opening knows.
struct Load {
    const std::string& path;
    const SourceSettings& settings;
    InputLook* look;  // null when the kind was known before its first bytes were read
};

std::unique_ptr<Source> openBmp(const Load& load) {
    return std::make_unique<DecodedSource>(std::move(load.look->bmpFrame));
}

std::unique_ptr<Source> openStreamFile(const Load& load) {
    return openStream(load.path, load.settings);
}

std::unique_ptr<Source> openImage(const Load& load) {
    return std::make_unique<ImageSource>(load.path, load.settings);
}

std::unique_ptr<Source> openVideoFile(const Load& load) {
    return openVideo(load.path, load.look != nullptr ? &load.look->head : nullptr, load.settings);
}

// Nothing claims it.
std::unique_ptr<Source> refuse(const Load& load) {
    // Named as an image, it is refused as one: how it reads as a stream would only puzzle.
    const std::string named = imageKindNamed(load.path);
    return std::make_unique<RefusedSource>(LoadFailure{
        !named.empty()
            ? _("not a ") + named + _(" image (nor a video or stream file)")
            : std::string(_(kNotAnImage)) + _(" (read as a stream: ") + load.look->streamBreak + ")",
        ""});
}

// What an input is, the first of these that claims it, and how that kind is opened. libvips' own loaders
// before the video probe (HEIF and AVIF are ISO media too), ImageMagick after it.
struct InputFormat {
    InputKind kind;
    bool (*claims)(const std::string& path, InputLook& look);
    std::unique_ptr<Source> (*open)(const Load& load);
};
constexpr InputFormat kFormats[] = {
    {InputKind::bmp, claimsAsBmp, openBmp},          {InputKind::stream, claimsAsStream, openStreamFile},
    {InputKind::image, claimsAsOwnImage, openImage}, {InputKind::video, claimsAsVideo, openVideoFile},
    {InputKind::image, claimsAsAnyImage, openImage},
};

InputKind claimedKind(const std::string& path, InputLook& look) {
    for (const InputFormat& format : kFormats) {
        if (format.claims(path, look)) {
            return format.kind;
        }
    }
    return InputKind::unknown;
}

std::unique_ptr<Source> openAs(InputKind kind, const Load& load) {
    for (const InputFormat& format : kFormats) {
        if (format.kind == kind) {
            return format.open(load);
        }
    }
    return refuse(load);
}

}  // namespace

InputKind kindOf(const std::string& path, const FileHead& head) {
    InputLook look{head, nullptr, {}};
    return claimedKind(path, look);
}

std::string plainReason(const std::string& libraryText) {
    std::string text = libraryText;
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    const auto mentions = [&](std::initializer_list<const char*> words) {
        return std::any_of(words.begin(), words.end(),
                           [&](const char* word) { return text.find(word) != std::string::npos; });
    };
    if (mentions({"premature end", "unexpected end", "end of file", "end of input", "truncated", "read error",
                  "not enough data", "short read", "eof"})) {
        return _("the file ends early");
    }
    if (mentions({"out of memory", "cannot allocate", "unable to allocate", "memory allocation"})) {
        return _("out of memory");
    }
    if (mentions({"unable to create thread"})) {
        return _("cannot start a worker thread");
    }
    if (mentions({"improper image header", "no decode delegate", "not a known", "unknown file format",
                  "unsupported file format"})) {
        return _(kNotAnImage);
    }
    return _("corrupt image data");
}

std::unique_ptr<Source> openInput(const std::string& path, InputKind kind, const SourceSettings& settings) {
    // A kind known already (a folder's file looked at when it was listed) needs no second look, except a
    // BMP, whose frame is its first bytes.
    if (kind != InputKind::unknown && kind != InputKind::bmp) {
        return openAs(kind, Load{path, settings, nullptr});
    }
    FileHead head;
    LoadFailure failure;
    if (!readFileHead(path, head, failure.reason)) {
        return std::make_unique<RefusedSource>(std::move(failure));
    }
    InputLook look{head, nullptr, {}};
    return openAs(claimedKind(path, look), Load{path, settings, &look});
}

}  // namespace animmake::inputs
