// What a viewer sees up close: one frame's crop of the source beside the same crop of each stream,
// enlarged without smoothing, written as one PNG (the streams in the order given, a gap between each).
// The source frames are animmake's fitted frames (`animmake --dither none --frames-dir DIR`).
//
//   dither_crops OUT.png SOURCE_DIR FRAME LEFT TOP WIDTH HEIGHT SCALE STREAM...
#include <vips/vips8>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "stream/stream_format.h"
#include "stream/stream_reader.h"
#include "viewed_colour.h"

namespace {

using vips::VImage;

constexpr int kWidth = 190;
constexpr int kHeight = 170;

// Frame `wanted` (from 1) of a stream as red, green, blue; empty when the stream has no such valid frame.
std::vector<std::uint8_t> streamFrame(const std::string& path, std::size_t wanted) {
    const std::vector<std::uint8_t> bytes = benchview::fileBytes(path);
    const animconv::StreamView stream{bytes.data(), bytes.size()};
    static animconv::FrameIndices indices;
    std::size_t offset = 0;
    for (std::size_t n = 1; n <= wanted; ++n) {
        animconv::FrameSummary summary;
        animconv::ProblemReport report;
        if (offset >= bytes.size() ||
            animconv::readFrame(stream, offset, n, summary, report, &indices) != animconv::Problem::none) {
            return {};
        }
        offset += summary.bytes;
    }
    return benchview::rgbOfIndices(indices.values);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 10 || VIPS_INIT(argv[0]) != 0) {
        std::fprintf(stderr,
                     "usage: dither_crops OUT.png SOURCE_DIR FRAME LEFT TOP WIDTH HEIGHT SCALE STREAM...\n");
        return 2;
    }
    const auto frame = static_cast<std::size_t>(std::atoi(argv[3]));
    const int left = std::atoi(argv[4]);
    const int top = std::atoi(argv[5]);
    const int width = std::atoi(argv[6]);
    const int height = std::atoi(argv[7]);
    const int scale = std::atoi(argv[8]);
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06zu.bmp", frame);
    std::vector<std::vector<std::uint8_t>> pictures = {benchview::sourceFrame(argv[2] + std::string(name))};
    for (int i = 9; i < argc; ++i) {
        pictures.push_back(streamFrame(argv[i], frame));
    }
    VImage strip;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        if (pictures[i].empty() || left < 0 || top < 0 || width < 1 || height < 1 || left + width > kWidth ||
            top + height > kHeight || scale < 1) {
            std::fprintf(stderr, "dither_crops: no frame %zu or crop outside it in %s\n", frame,
                         i == 0 ? argv[2] : argv[8 + i]);
            return 1;
        }
        const VImage crop = VImage::new_from_memory(pictures[i].data(), pictures[i].size(), kWidth, kHeight,
                                                    3, VIPS_FORMAT_UCHAR)
                                .extract_area(left, top, width, height)
                                .zoom(scale, scale);
        strip = i == 0 ? crop.copy_memory()
                       : strip
                             .join(crop, VIPS_DIRECTION_HORIZONTAL,
                                   VImage::option()->set("shim", 4)->set("background", 255))
                             .copy_memory();
    }
    strip.copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB)).pngsave(argv[1]);
    return 0;
}
