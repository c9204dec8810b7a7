// Builds the README's pictures from the project's own synthetic content, with libvips.
//
//   readme_pictures frames DIR COUNT
//       DIR/frame-0001.bmp ...: COUNT photo-like 190x170 24-bit frames (tools/frame_content.cpp).
//   readme_pictures strip OUT.png FRAME LABEL [IMAGE LABEL]...
//       A row of panels, each shown at twice its size with its label (lines split by \n) below: first the
//       photo-like frame FRAME (counted from 1) as its source colours, then each IMAGE (a 190x170 PNG).
//
// The labels use one font file, so that the same inputs give the same PNG on every machine of one kind.
#include <vips/vips8>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "frame_content.h"

namespace {

using vips::VImage;

constexpr int kZoom = 2;
constexpr int kGap = 12;
constexpr int kLabelHeight = 44;
constexpr const char* kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";  // fonts-dejavu-core
constexpr const char* kFont = "DejaVu Sans 13";
const std::vector<double> kWhite = {255, 255, 255};

int writeFrames(const std::string& folder, int count) {
    for (int frame = 0; frame < count; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%04d.bmp", frame + 1);
        if (!bmpwriter::writeFile(folder + name,
                                  framecontent::frameFile24(framecontent::Kind::photo, frame))) {
            std::fprintf(stderr, "readme_pictures: cannot write %s%s\n", folder.c_str(), name);
            return 1;
        }
    }
    return 0;
}

// The frame's colours as 8-bit RGB, top row first; the buffer must outlive the image.
VImage sourceFrame(int frame, std::vector<std::uint8_t>& rgb) {
    for (const bmpwriter::Bgr& colour : framecontent::frameColours(framecontent::Kind::photo, frame)) {
        rgb.insert(rgb.end(), {colour.red, colour.green, colour.blue});
    }
    return VImage::new_from_memory(rgb.data(), rgb.size(), framecontent::kWidth, framecontent::kHeight, 3,
                                   VIPS_FORMAT_UCHAR);
}

VImage panel(const VImage& picture, const std::string& label) {
    const VImage shown = picture.extract_band(0, VImage::option()->set("n", 3)).zoom(kZoom, kZoom);
    const VImage text = VImage::text(label.c_str(), VImage::option()
                                                        ->set("font", kFont)
                                                        ->set("fontfile", kFontFile)
                                                        ->set("width", shown.width())
                                                        ->set("align", VIPS_ALIGN_CENTRE));
    // Dark grey text on white, centred under the picture.
    const VImage ink = (255 - text * (200.0 / 255)).cast(VIPS_FORMAT_UCHAR);
    const VImage labelArea = VImage::bandjoin({ink, ink, ink})
                                 .embed((shown.width() - text.width()) / 2, kGap / 2, shown.width(),
                                        kLabelHeight, VImage::option()->set("extend", VIPS_EXTEND_WHITE));
    return shown.join(labelArea, VIPS_DIRECTION_VERTICAL);
}

int writeStrip(int argc, char** argv) {
    const std::string output = argv[2];
    const int frame = std::atoi(argv[3]);
    std::vector<std::uint8_t> sourceColours;
    std::vector<VImage> panels = {panel(sourceFrame(frame - 1, sourceColours), argv[4])};
    for (int i = 5; i + 1 < argc; i += 2) {
        panels.push_back(panel(VImage::new_from_file(argv[i]), argv[i + 1]));
    }
    const VImage strip = VImage::arrayjoin(panels, VImage::option()
                                                       ->set("across", static_cast<int>(panels.size()))
                                                       ->set("shim", kGap)
                                                       ->set("background", kWhite));
    strip
        .embed(kGap, kGap, strip.width() + 2 * kGap, strip.height() + kGap,
               VImage::option()->set("extend", VIPS_EXTEND_WHITE))
        .pngsave(output.c_str(), VImage::option()->set("strip", true)->set("compression", 9));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) != 0) {
        vips_error_exit(nullptr);
    }
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "frames" && argc == 4) {
            return writeFrames(argv[2], std::atoi(argv[3]));
        }
        if (mode == "strip" && argc >= 5 && argc % 2 == 1) {
            return writeStrip(argc, argv);
        }
    } catch (const vips::VError& error) {
        std::fprintf(stderr, "readme_pictures: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: readme_pictures frames DIR COUNT\n"
                 "       readme_pictures strip OUT.png FRAME LABEL [IMAGE LABEL]...\n");
    return 2;
}
