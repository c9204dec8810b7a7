// Streams for the tests of the programs that write and read them: source frames of every depth with the
// colours animconv must quantize them to, animconv run on them, and a stream decoded to colours with the
// project's reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files.h"
#include "process.h"
#include "stream/stream_reader.h"

namespace testsupport {

using animconv::Rgb;

struct SourceFrame {
    std::vector<std::uint8_t> bmp;
    std::vector<Rgb> quantized;  // per pixel, top row first: each component cut down to its level x 51
    std::uint8_t wait = 0;
};

// 24-bit, 8-bit, 24-bit core-header, 4-bit, 1-bit and 24-bit frames. Frame 3 repeats frame 2's colours
// outside a 40x50 block; frame 6 repeats frame 5's colours except at pixel (5, 0).
std::vector<SourceFrame> mixedDepthFrames();
constexpr std::size_t kFrame3ChangedPixels = 40 * 50;

// Writes the frames into `folder` and runs the animconv at `animconv` on them in `mode` ("use0xfe" or
// "no0xfe"), appending to `streamPath`. Returns animconv's result.
ProcessResult convertFrames(const std::string& animconv, const std::vector<SourceFrame>& frames,
                            const std::string& mode, const std::string& streamPath,
                            const std::string& folder);

struct DecodedFrame {
    std::vector<Rgb> colours;
    std::uint8_t waitByte = 0;
    std::size_t unchangedPixels = 0;
};

// Every frame of a stream that must be valid, decoded to colours.
std::vector<DecodedFrame> decodeStream(const std::vector<std::uint8_t>& stream);

}  // namespace testsupport
