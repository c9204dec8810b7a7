// animmake's dithers over four kinds of generated 190x170 content, each measured as a viewer sees it:
//   still   a still photo-like scene with a smaller photo moving over it (120 frames)
//   phone   the same as a phone would film it: sensor noise (sigma 3) and lossy compression every frame
//   pan     a slow pan across a photo-like scene, half a pixel a frame: every pixel moves (120 frames)
//   creep   the same, a sixteenth of a pixel a frame: too slow to see between two frames (120 frames)
//   cut, fade, zoom  a still scene cut to another every 30 frames; faded out; zoomed in slowly (120 frames)
//   bars    the phone content as a 16:9 video fitted into the frame, black bars above and below
//   screen  a terminal screen recording: typing, output bursts, scrolling, a blinking cursor (300 frames)
//
// Figures, per dither and kind:
//   dE         mean delta E 1976 between stream and source after both are taken to linear light, blurred
//              with a Gaussian of sigma 1 px (7 taps, edges clamped) and converted to CIELAB (D65)
//   bytes      the stream's size in delta mode
//   unchanged  share of unchanged (0xFE) pixels over all pixels and frames
//   flicker    for every frame after the first, the mean delta E between how the blurred stream changed from
//              the previous frame and how the blurred source changed: dither crawling and lag both count
//   ms/frame   the dither's processor time a frame
//
// With --drift, long runs (320 frames) of what could let a remembering dither drift from the source: pans
// from a twentieth of a pixel to two pixels a frame over smooth content (a gradient wallpaper) and over
// detailed content, a fade, a zoom and cuts; per dither the worst frame's and the last third's dE against
// ordered's on the same frames, the bytes against ordered's, the share of pixels with a component off the
// two levels bracketing its source, and the colours used per colour of the source's flat areas.
//
//   dither_bench [KIND...]            the table, for all four kinds or those named
//   dither_bench --drift [KIND...]    the long runs
//   dither_bench --write KIND FOLDER   the frames of one kind as frame-0001.png, ...
#include <vips/vips8>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "make/dither/dither.h"
#include "make/dither/dither_choice.h"
#include "make/dither/search_dither.h"
#include "viewed_colour.h"

namespace {

using vips::VImage;

constexpr int kWidth = 190;
constexpr int kHeight = 170;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

using RgbFrame = std::vector<std::uint8_t>;  // kPixels x (red, green, blue)

// ---- Content -----------------------------------------------------------------------------------------

VImage positive(const VImage& image) {
    return (image > 0.0).ifthenelse(image, 0.0);
}

// A photo-like scene: sky gradient, soft clouds, hills covered in foliage, grain. `seed` varies it.
// Reduced to 190x170, a photograph keeps detail down to the pixel (leaves, grass, edges), and that detail
// is where ordered and diffused dithers differ most; the foliage is octaves of noise down to 1.5 px at the
// reduced size, each octave's amplitude halving with its size (a photograph's 1/f spectrum).
VImage scene(int width, int height, int seed) {
    const VImage xy = VImage::xyz(width, height).cast(VIPS_FORMAT_FLOAT);
    const VImage fx = xy[0] / width;
    const VImage fy = xy[1] / height;
    const VImage sky = (fy * 90 + 80).bandjoin(fy * 60 + 130).bandjoin(fy * -40 + 225);
    const VImage relief = VImage::perlin(
        width, height, VImage::option()->set("cell_size", std::max(4, height / 2))->set("seed", seed));
    VImage foliage = VImage::black(width, height).cast(VIPS_FORMAT_FLOAT);
    double amplitude = 1.0;
    for (int cell = 4, octave = 0; cell <= 128; cell *= 2, ++octave) {
        foliage = foliage +
                  VImage::perlin(width, height,
                                 VImage::option()->set("cell_size", cell)->set("seed", seed + 10 + octave)) *
                      amplitude;
        amplitude *= 1.4;
    }
    foliage = foliage / amplitude;
    const VImage shade = relief * 0.6 + foliage * 1.4;
    const VImage ground =
        (shade * 70 + 70 - fy * 40).bandjoin(shade * 60 + 80 - fy * 40).bandjoin(shade * 35 + 40 - fy * 20);
    const VImage horizon = (fx * 7 + seed).sin() * 0.07 + (fx * 19 + 2 * seed).sin() * 0.035 + 0.5;
    VImage picture = (fy > horizon).ifthenelse(ground, sky);
    for (int i = 0; i < 3; ++i) {
        const double cx = 0.15 + 0.3 * i + 0.05 * std::sin(seed + i);
        const double cy = 0.12 + 0.06 * i;
        const VImage dx = fx - cx;
        const VImage dy = (fy - cy) * 2.2;
        const VImage weight = positive((dx * dx + dy * dy).pow(0.5) * -7.0 + 1.0) * 0.75;
        picture = picture * (1.0 - weight) + weight * 240.0;
    }
    const VImage grain = VImage::gaussnoise(
        width, height, VImage::option()->set("sigma", 4.0)->set("mean", 0.0)->set("seed", seed + 2));
    return picture + grain;
}

RgbFrame toFrame(const VImage& image) {
    const VImage rgb = image.cast(VIPS_FORMAT_UCHAR);
    std::size_t size = 0;
    auto* data = static_cast<std::uint8_t*>(rgb.write_to_memory(&size));
    RgbFrame frame(data, data + size);
    g_free(data);
    return frame;
}

constexpr int kScale = 4;  // photo content is drawn 4x larger and reduced, as a camera's frames are

// A smaller photo moving over a still one along a loop, at quarter-pixel positions.
std::vector<RgbFrame> stillContent(bool asPhone) {
    const VImage back = scene(kWidth * kScale, kHeight * kScale, 7).copy_memory();
    const VImage patch = scene(64 * kScale, 48 * kScale, 21).copy_memory();
    std::vector<RgbFrame> frames;
    for (int n = 0; n < 120; ++n) {
        const double t = n / 120.0 * 2 * 3.14159265;
        const int x = static_cast<int>(std::lround((0.5 + 0.33 * std::sin(t)) * (kWidth - 64) * kScale));
        const int y = static_cast<int>(std::lround((0.5 + 0.4 * std::sin(2 * t)) * (kHeight - 48) * kScale));
        VImage picture = back.insert(patch, x, y).resize(1.0 / kScale);
        if (asPhone) {
            picture = picture + VImage::gaussnoise(kWidth, kHeight,
                                                   VImage::option()->set("sigma", 3.0)->set("seed", 100 + n));
            const VImage coded = picture.cast(VIPS_FORMAT_UCHAR)
                                     .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
            void* buffer = nullptr;
            std::size_t length = 0;
            coded.write_to_buffer(".jpg", &buffer, &length, VImage::option()->set("Q", 80));
            picture = VImage::new_from_buffer(buffer, length, "").copy_memory();
            g_free(buffer);
        }
        frames.push_back(toFrame(picture));
    }
    return frames;
}

// `step` in sixteenths of a reduced pixel a frame.
std::vector<RgbFrame> panContent(int step) {
    const VImage wide = scene((kWidth + 64) * kScale, kHeight * kScale, 33).copy_memory();
    std::vector<RgbFrame> frames;
    for (int n = 0; n < 120; ++n) {
        frames.push_back(
            toFrame(wide.extract_area(n * step / 4, 0, kWidth * kScale, kHeight * kScale).resize(0.25)));
    }
    return frames;
}

// A terminal drawn at twice the size and reduced: 5x8 cells of pseudo-glyphs (4x6 bits each).
std::vector<RgbFrame> screenContent() {
    constexpr int kCellWidth = 5;
    constexpr int kCellHeight = 8;
    constexpr int kTop = 2;  // rows of the title bar, in cells
    constexpr int kColumns = kWidth / kCellWidth;
    constexpr int kRows = kHeight / kCellHeight;
    struct Cell {
        std::uint32_t glyph = 0;  // 24 bits, 0 = blank
        std::array<std::uint8_t, 3> colour{};
    };
    std::vector<std::vector<Cell>> text(kRows, std::vector<Cell>(kColumns));
    std::uint32_t random = 12345;
    auto next = [&] {
        random = random * 1103515245u + 12345u;
        return (random >> 8) & 0xFFFFFF;
    };
    const std::array<std::uint8_t, 3> prompt = {90, 200, 120};
    const std::array<std::uint8_t, 3> typed = {210, 210, 205};
    const std::array<std::uint8_t, 3> output = {170, 175, 185};
    int row = kTop;
    int column = 0;
    int lineLength = 12;
    auto newLine = [&] {
        column = 0;
        if (++row >= kRows) {
            text.erase(text.begin() + kTop);
            text.insert(text.end(), std::vector<Cell>(kColumns));
            row = kRows - 1;
        }
    };
    auto put = [&](const std::array<std::uint8_t, 3>& colour) {
        const std::uint32_t glyph = next();
        text[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = {glyph | 1, colour};
        if (++column >= kColumns) {
            newLine();
        }
    };
    put(prompt);
    put(prompt);
    std::vector<RgbFrame> frames;
    for (int n = 0; n < 300; ++n) {
        if (column - 2 < lineLength) {
            if (next() % 7 != 0) {  // typing, with hesitations
                put(typed);
            }
        } else {
            newLine();
            const int lines = static_cast<int>(next() % 4);
            for (int l = 0; l < lines; ++l) {
                const int length = 10 + static_cast<int>(next() % 25);
                for (int c = 0; c < length; ++c) {
                    put((c % 6 == 5) ? std::array<std::uint8_t, 3>{0, 0, 0} : output);
                }
                newLine();
            }
            put(prompt);
            put(prompt);
            lineLength = 8 + static_cast<int>(next() % 24);
        }
        const bool cursorShown = (n / 15) % 2 == 0;
        constexpr int kBig = 2;
        std::vector<std::uint8_t> big(std::size_t{kWidth} * kHeight * kBig * kBig * 3);
        for (int y = 0; y < kHeight * kBig; ++y) {
            for (int x = 0; x < kWidth * kBig; ++x) {
                const int cy = y / (kCellHeight * kBig);
                const int cx = x / (kCellWidth * kBig);
                std::array<std::uint8_t, 3> colour = {28, 30, 38};  // background
                if (cy < kTop) {
                    const auto shade = static_cast<std::uint8_t>(y / 4);
                    colour = {static_cast<std::uint8_t>(58 + shade), static_cast<std::uint8_t>(62 + shade),
                              static_cast<std::uint8_t>(74 + shade)};  // title bar gradient
                }
                if (cx < kColumns && cy < kRows) {
                    const Cell& cell = text[static_cast<std::size_t>(cy)][static_cast<std::size_t>(cx)];
                    const int gx = (x / kBig) % kCellWidth;
                    const int gy = (y / kBig) % kCellHeight;
                    if (cell.glyph != 0 && gx < 4 && gy >= 1 && gy < 7 &&
                        ((cell.glyph >> ((gy - 1) * 4 + gx)) & 1) != 0) {
                        colour = cell.colour;
                    }
                    if (cursorShown && cy == row && cx == column) {
                        colour = {200, 200, 200};
                    }
                }
                std::memcpy(&big[(std::size_t(y) * kWidth * kBig + std::size_t(x)) * 3], colour.data(), 3);
            }
        }
        const VImage image = VImage::new_from_memory(big.data(), big.size(), kWidth * kBig, kHeight * kBig, 3,
                                                     VIPS_FORMAT_UCHAR);
        frames.push_back(toFrame(image.resize(1.0 / kBig)));
    }
    return frames;
}

std::vector<RgbFrame> extraContent(const std::string& kind) {
    std::vector<RgbFrame> frames;
    const VImage a = scene(kWidth * kScale, kHeight * kScale, 7).copy_memory();
    const VImage b = scene(kWidth * kScale, kHeight * kScale, 55).copy_memory();
    for (int n = 0; n < 120; ++n) {
        VImage picture;
        if (kind == "fade") {
            picture = (a * (1.0 - n / 160.0)).resize(1.0 / kScale);
        } else if (kind == "cut") {
            picture = ((n / 30) % 2 == 0 ? a : b).resize(1.0 / kScale);
        } else {
            const double zoom = 1.0 + n * 0.0025;
            picture = a.resize(zoom / kScale).extract_area(0, 0, kWidth, kHeight);
        }
        frames.push_back(toFrame(picture));
    }
    return frames;
}

// The phone content as a 16:9 video placed in the frame: black bars above and below.
std::vector<RgbFrame> barsContent() {
    std::vector<RgbFrame> frames;
    for (RgbFrame& frame : stillContent(true)) {
        const VImage picture =
            VImage::new_from_memory(frame.data(), frame.size(), kWidth, kHeight, 3, VIPS_FORMAT_UCHAR);
        frames.push_back(toFrame(picture.resize(1.0, VImage::option()->set("vscale", 107.0 / kHeight))
                                     .embed(0, (kHeight - 107) / 2, kWidth, kHeight)));
    }
    return frames;
}

// ---- Long runs ------------------------------------------------------------------------------------------

constexpr int kLongRun = 320;

// A gradient wallpaper drifted `offset` pixels to the left: no detail, every pixel a little off the last.
RgbFrame smoothFrame(double offset) {
    RgbFrame frame(kPixels * 3);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const double u = x + offset;
            for (int c = 0; c < 3; ++c) {
                const double value =
                    120.0 + 60.0 * std::sin(u / 45.0 + c) + 35.0 * std::cos(y / 38.0 + u / 70.0 + 2.0 * c);
                frame[(static_cast<std::size_t>(y) * kWidth + static_cast<std::size_t>(x)) * 3 +
                      static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(std::lround(value));
            }
        }
    }
    return frame;
}

// `pixelsAFrame` over the smooth wallpaper or the detailed scene (drawn 4x larger; a fraction of its
// pixel is the mix of the two nearest).
std::vector<RgbFrame> longPan(double pixelsAFrame, bool detailed) {
    std::vector<RgbFrame> frames;
    const int travel = static_cast<int>(std::ceil(pixelsAFrame * kLongRun)) + 2;
    const VImage wide =
        detailed ? scene((kWidth + travel) * kScale, kHeight * kScale, 33).copy_memory() : VImage();
    for (int n = 0; n < kLongRun; ++n) {
        const double offset = pixelsAFrame * n;
        if (!detailed) {
            frames.push_back(smoothFrame(offset));
            continue;
        }
        const double big = offset * kScale;
        const int whole = static_cast<int>(std::floor(big));
        const double part = big - whole;
        const VImage a = wide.extract_area(whole, 0, kWidth * kScale, kHeight * kScale).resize(1.0 / kScale);
        const VImage b =
            wide.extract_area(whole + 1, 0, kWidth * kScale, kHeight * kScale).resize(1.0 / kScale);
        frames.push_back(toFrame(a * (1.0 - part) + b * part + 0.5));
    }
    return frames;
}

std::vector<RgbFrame> longContent(const std::string& kind) {
    const struct {
        const char* name;
        double speed;
        bool detailed;
    } pans[] = {{"smooth-1/20", 0.05, false}, {"smooth-1/4", 0.25, false}, {"smooth-1", 1.0, false},
                {"smooth-2", 2.0, false},     {"detail-1/20", 0.05, true}, {"detail-1/4", 0.25, true},
                {"detail-1", 1.0, true},      {"detail-2", 2.0, true}};
    for (const auto& pan : pans) {
        if (kind == pan.name) {
            return longPan(pan.speed, pan.detailed);
        }
    }
    std::vector<RgbFrame> frames;
    if (kind != "fade" && kind != "zoom" && kind != "cut") {
        return frames;
    }
    const VImage a = scene(kWidth * kScale, kHeight * kScale, 7).copy_memory();
    const VImage b = scene(kWidth * kScale, kHeight * kScale, 55).copy_memory();
    for (int n = 0; n < kLongRun; ++n) {
        VImage picture;
        if (kind == "fade") {
            picture = (a * (1.0 - n / (kLongRun * 1.2))).resize(1.0 / kScale);
        } else if (kind == "cut") {
            picture = ((n / 40) % 2 == 0 ? a : b).resize(1.0 / kScale);
        } else {
            const double zoom = 1.0 + n * 0.001;
            picture = a.resize(zoom / kScale).extract_area(0, 0, kWidth, kHeight);
        }
        frames.push_back(toFrame(picture));
    }
    return frames;
}

std::vector<RgbFrame> contentOf(const std::string& kind) {
    if (kind == "fade" || kind == "cut" || kind == "zoom") {
        return extraContent(kind);
    }
    if (kind == "bars") {
        return barsContent();
    }
    if (kind == "still" || kind == "phone") {
        return stillContent(kind == "phone");
    }
    if (kind == "pan") {
        return panContent(8);
    }
    if (kind == "creep") {
        return panContent(1);
    }
    if (kind == "screen") {
        return screenContent();
    }
    std::fprintf(
        stderr,
        "dither_bench: unknown content %s (still, phone, pan, screen, creep, cut, fade, zoom, bars)\n",
        kind.c_str());
    return {};
}

// ---- Measure -----------------------------------------------------------------------------------------

// The stream's size in delta mode: run records over cube indices, 0xFE where a pixel equals the previous
// frame's, then the terminator.
struct StreamCount {
    std::uint64_t bytes = 0;
    std::uint64_t unchanged = 0;
};

void countFrame(const animconv::FrameBuffer& frame, const animconv::FrameBuffer* previous,
                StreamCount& count) {
    int value = -1;
    std::size_t run = 0;
    auto close = [&] {
        if (run > 0) {
            count.bytes += run <= 127 ? 2 : 3;
        }
    };
    for (std::size_t i = 0; i < kPixels; ++i) {
        const std::uint8_t* p = frame.pixels + i * 4;
        int v = 16 + 36 * (p[0] / 51) + 6 * (p[1] / 51) + p[2] / 51;
        if (previous != nullptr && std::memcmp(p, previous->pixels + i * 4, 3) == 0) {
            v = 0xFE;
            ++count.unchanged;
        }
        if (v != value) {
            close();
            value = v;
            run = 0;
        }
        ++run;
    }
    close();
    count.bytes += 2;
}

struct Figures {
    double deltaE = 0;
    std::uint64_t bytes = 0;
    double unchanged = 0;
    double flicker = 0;
    double seconds = 0;
    std::vector<double> frameDeltaE;
    double offBracket = 0;   // share of pixels with a component off its source's two bracketing levels
    double flatColours = 0;  // stream colours per colour of the source's flat areas, mean over frames
};

Figures measure(const std::vector<RgbFrame>& sources, animmake::dither::Dither dither) {
    auto frame = std::make_unique<animconv::FrameBuffer>();
    auto previous = std::make_unique<animconv::FrameBuffer>();
    StreamCount count;
    double deltaE = 0;
    double flicker = 0;
    double seconds = 0;
    benchview::LabFrame lastSource;
    benchview::LabFrame lastStream;
    std::vector<double> perFrame;
    double offBracket = 0;
    double flatColours = 0;
    const std::unique_ptr<animmake::dither::FrameDither> ditherer = animmake::dither::makeDither(dither);
    for (std::size_t n = 0; n < sources.size(); ++n) {
        const RgbFrame& source = sources[n];
        for (std::size_t i = 0; i < kPixels; ++i) {
            frame->pixels[i * 4] = source[i * 3 + 2];
            frame->pixels[i * 4 + 1] = source[i * 3 + 1];
            frame->pixels[i * 4 + 2] = source[i * 3];
            frame->pixels[i * 4 + 3] = 0;
        }
        const std::clock_t start = std::clock();  // processor time: the machine is shared
        if (ditherer) {
            ditherer->apply(*frame);
        }
        seconds += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        countFrame(*frame, n > 0 ? previous.get() : nullptr, count);
        std::vector<std::uint8_t> rgb(kPixels * 3);
        for (std::size_t i = 0; i < kPixels; ++i) {
            // What the stream holds: each component's level, level x 51.
            rgb[i * 3] = static_cast<std::uint8_t>(frame->pixels[i * 4 + 2] / 51 * 51);
            rgb[i * 3 + 1] = static_cast<std::uint8_t>(frame->pixels[i * 4 + 1] / 51 * 51);
            rgb[i * 3 + 2] = static_cast<std::uint8_t>(frame->pixels[i * 4] / 51 * 51);
        }
        benchview::LabFrame sourceLab = benchview::viewedFrame(source.data(), 3);
        benchview::LabFrame streamLab = benchview::viewedFrame(rgb.data(), 3);
        double frameDelta = 0;
        double frameFlicker = 0;
        for (std::size_t i = 0; i < kPixels; ++i) {
            frameDelta += benchview::deltaE(sourceLab[i], streamLab[i]);
            if (n > 0) {
                benchview::Lab made{};
                benchview::Lab wanted{};
                for (std::size_t c = 0; c < 3; ++c) {
                    made[c] = streamLab[i][c] - lastStream[i][c];
                    wanted[c] = sourceLab[i][c] - lastSource[i][c];
                }
                frameFlicker += benchview::deltaE(made, wanted);
            }
        }
        deltaE += frameDelta / kPixels;
        flicker += frameFlicker / kPixels;
        perFrame.push_back(frameDelta / kPixels);
        offBracket += static_cast<double>(benchview::offBracket(source.data(), rgb.data()));
        flatColours += benchview::flatColours(source.data(), rgb.data());
        lastSource = std::move(sourceLab);
        lastStream = std::move(streamLab);
        std::swap(frame, previous);
    }
    const double frames = static_cast<double>(sources.size());
    return {deltaE / frames,
            count.bytes,
            static_cast<double>(count.unchanged) / (frames * kPixels),
            flicker / (frames - 1),
            seconds / frames,
            perFrame,
            offBracket / (frames * kPixels),
            flatColours / frames};
}

}  // namespace

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr, "dither_bench: cannot start libvips\n");
        return 2;
    }
    if (argc == 4 && std::strcmp(argv[1], "--write") == 0) {
        const std::vector<RgbFrame> sources = contentOf(argv[2]);
        for (std::size_t n = 0; n < sources.size(); ++n) {
            char name[64];
            std::snprintf(name, sizeof name, "/frame-%04zu.png", n + 1);
            VImage::new_from_memory(const_cast<std::uint8_t*>(sources[n].data()), sources[n].size(), kWidth,
                                    kHeight, 3, VIPS_FORMAT_UCHAR)
                .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
                .pngsave((std::string(argv[3]) + name).c_str());
        }
        return sources.empty() ? 2 : 0;
    }
    struct Named {
        const char* name;
        animmake::dither::Dither dither;
    };
    const Named dithers[] = {{"ordered", animmake::dither::Dither::ordered},
                             {"steady", animmake::dither::Dither::steady},
                             {"search", animmake::dither::Dither::search},
                             {"diffusion", animmake::dither::Dither::diffusion},
                             {"none", animmake::dither::Dither::none}};
    if (argc > 1 && std::strcmp(argv[1], "--drift") == 0) {
        std::vector<std::string> kinds = {"smooth-1/20", "smooth-1/4", "smooth-1", "smooth-2",
                                          "detail-1/20", "detail-1/4", "detail-1", "detail-2",
                                          "fade",        "zoom",       "cut"};
        if (argc > 2) {
            kinds.assign(argv + 2, argv + argc);
        }
        std::printf(
            "| content | dither | dE | worst frame / ordered's | last third / ordered | bytes / ordered | "
            "off "
            "bracket | flat colours |\n");
        std::printf("|---|---|---|---|---|---|---|---|\n");
        for (const std::string& kind : kinds) {
            const std::vector<RgbFrame> sources = longContent(kind);
            if (sources.empty()) {
                std::fprintf(stderr, "dither_bench: unknown long run %s\n", kind.c_str());
                return 2;
            }
            const Figures ordered = measure(sources, animmake::dither::Dither::ordered);
            for (const Named& named : dithers) {
                if (named.dither == animmake::dither::Dither::none ||
                    named.dither == animmake::dither::Dither::diffusion) {
                    continue;
                }
                const Figures f = named.dither == animmake::dither::Dither::ordered
                                      ? ordered
                                      : measure(sources, named.dither);
                double worst = 0;
                double lastThird = 0;
                double lastThirdOrdered = 0;
                for (std::size_t n = 0; n < sources.size(); ++n) {
                    worst = std::max(worst, f.frameDeltaE[n] / ordered.frameDeltaE[n]);
                    if (n >= sources.size() * 2 / 3) {
                        lastThird += f.frameDeltaE[n];
                        lastThirdOrdered += ordered.frameDeltaE[n];
                    }
                }
                std::printf("| %s (%zu frames) | %s | %.3f | %.3f | %.3f | %.3f | %.4f | %.2f |\n",
                            kind.c_str(), sources.size(), named.name, f.deltaE, worst,
                            lastThird / lastThirdOrdered,
                            static_cast<double>(f.bytes) / static_cast<double>(ordered.bytes), f.offBracket,
                            f.flatColours);
            }
            std::fflush(stdout);
        }
        return 0;
    }
    std::vector<std::string> kinds = {"still", "phone", "pan",  "screen", "creep",
                                      "cut",   "fade",  "zoom", "bars"};
    if (argc > 1) {
        kinds.assign(argv + 1, argv + argc);
    }
    std::printf(
        "| content | dither | dE | bytes | unchanged | flicker | ms/frame | dE / ordered | bytes / ordered "
        "| flicker / ordered |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    for (const std::string& kind : kinds) {
        const std::vector<RgbFrame> sources = contentOf(kind);
        if (sources.empty()) {
            return 2;
        }
        std::vector<Figures> figures;
        for (const Named& named : dithers) {
            figures.push_back(measure(sources, named.dither));
        }
        const Figures& ordered = figures[0];
        for (std::size_t d = 0; d < figures.size(); ++d) {
            const Figures& f = figures[d];
            std::printf("| %s (%zu frames) | %s | %.3f | %llu | %.4f | %.3f | %.3f | %.3f | %.3f | %.3f |\n",
                        kind.c_str(), sources.size(), dithers[d].name, f.deltaE,
                        static_cast<unsigned long long>(f.bytes), f.unchanged, f.flicker, f.seconds * 1000,
                        f.deltaE / ordered.deltaE,
                        static_cast<double>(f.bytes) / static_cast<double>(ordered.bytes),
                        f.flicker / ordered.flicker);
        }
        std::fflush(stdout);
    }
    return 0;
}
