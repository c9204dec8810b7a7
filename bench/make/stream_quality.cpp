// How close a stream comes to its 190x170 source frames as the eye sees them at a distance: both are
// decoded to linear light, blurred with a Gaussian of sigma 1 px (7 taps, edges clamped), converted to
// CIELAB (D65), and compared by mean delta E 1976 over all pixels and frames. Also prints the share of
// unchanged (0xFE) pixels and the stream's size.
//
//   stream_quality STREAM SOURCE.png...
#include <vips/vips8>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "stream/stream_format.h"
#include "stream/stream_reader.h"
#include "viewed_colour.h"

namespace {

constexpr int kWidth = 190;
constexpr int kHeight = 170;
constexpr std::size_t kPixels = std::size_t{kWidth} * kHeight;

}  // namespace

int main(int argc, char** argv) {
    if (VIPS_INIT(argv[0]) != 0 || argc < 3) {
        std::fprintf(stderr, "usage: stream_quality STREAM SOURCE.png...\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
    const animconv::StreamView stream{bytes.data(), bytes.size()};
    static animconv::FrameIndices indices;
    std::size_t offset = 0;
    std::size_t frames = 0;
    std::size_t unchanged = 0;
    double totalDelta = 0;
    for (int source = 2; source < argc; ++source) {
        animconv::FrameSummary summary;
        animconv::ProblemReport report;
        if (offset >= bytes.size() || animconv::readFrame(stream, offset, frames + 1, summary, report,
                                                          &indices) != animconv::Problem::none) {
            std::fprintf(stderr, "stream_quality: the stream has no valid frame %zu\n", frames + 1);
            return 1;
        }
        offset += summary.bytes;
        ++frames;
        unchanged += summary.unchangedPixels;

        vips::VImage picture =
            vips::VImage::new_from_file(argv[source]).colourspace(VIPS_INTERPRETATION_sRGB);
        if (picture.width() != kWidth || picture.height() != kHeight) {
            std::fprintf(stderr, "stream_quality: %s is not 190x170\n", argv[source]);
            return 1;
        }
        picture = picture.extract_band(0, vips::VImage::option()->set("n", 3)).cast(VIPS_FORMAT_UCHAR);
        std::size_t size = 0;
        auto* rgb = static_cast<std::uint8_t*>(picture.write_to_memory(&size));
        const std::vector<std::uint8_t> made = benchview::rgbOfIndices(indices.values);
        const benchview::LabFrame a = benchview::viewedFrame(rgb, 3);
        g_free(rgb);
        const benchview::LabFrame b = benchview::viewedFrame(made.data(), 3);
        for (std::size_t i = 0; i < kPixels; ++i) {
            totalDelta += benchview::deltaE(a[i], b[i]);
        }
    }
    if (offset != bytes.size()) {
        std::fprintf(stderr, "stream_quality: the stream has more frames than sources\n");
        return 1;
    }
    std::printf("meanDeltaE %.4f unchangedShare %.4f bytes %zu frames %zu\n",
                totalDelta / (static_cast<double>(frames) * kPixels),
                static_cast<double>(unchanged) / (static_cast<double>(frames) * kPixels), bytes.size(),
                frames);
    return 0;
}
