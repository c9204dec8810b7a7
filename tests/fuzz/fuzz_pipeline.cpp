// The frame pipeline from input file bytes to stream bytes, as the converter runs it: two frames in a row in
// delta mode, and the second again in plain mode. The stream is checked by an independent reader and against
// the decoded colours.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "convert/convert_frame.h"
#include "convert/frame_encoder.h"
#include "fuzz_check.h"
#include "stream/stream_reader.h"

namespace {

using namespace animconv;

std::uint8_t inputBuffer[kInputCapacity];
FrameBuffer frames[2];
EncoderState encoder;
EncodedFrame encoded;
animconv::FrameIndices values;

// The file as the converter reads it, zero past its end, then the converter's own checks and decode.
bool decodeFrame(const std::uint8_t* file, std::size_t size, FrameBuffer& frame) {
    std::memset(inputBuffer, 0, sizeof inputBuffer);
    std::memcpy(inputBuffer, file, std::min(size, sizeof inputBuffer));
    return decodeInput(inputBuffer, sizeof inputBuffer, frame) == InputStatus::decoded;
}

const std::uint8_t* pixelAt(const FrameBuffer& frame, std::size_t index) {
    return frame.pixels + index * kPixelBytes;
}

// Encodes `frame`, checks the stream bytes, and makes it the previous frame as the converter does.
void encodeAndCheck(const FrameBuffer& frame, const FrameBuffer* previous, std::uint8_t waitByte) {
    encodeFrame(encoder, frame, waitByte, encoded);
    animconv::ReadRules rules;
    rules.firstOfRun = previous == nullptr;
    rules.keepMarkers = true;
    rules.rejectLongFormUnder128 = true;
    animconv::FrameSummary summary;
    animconv::ProblemReport report;
    FUZZ_CHECK(animconv::readFrame({encoded.bytes, encoded.length}, 0, 1, rules, summary, report, &values) ==
               animconv::Problem::none);
    FUZZ_CHECK(summary.bytes == encoded.length);
    FUZZ_CHECK(summary.waitByte == waitByte);
    FUZZ_CHECK(summary.unchangedPixels == encoded.unchangedPixels);
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        const std::uint8_t* pixel = pixelAt(frame, i);
        const bool same = previous != nullptr && std::memcmp(pixel, pixelAt(*previous, i), 3) == 0;
        if (same) {
            FUZZ_CHECK(values.values[i] == kUnchangedMarker);
        } else {
            FUZZ_CHECK(values.values[i] == 16 + 36 * (pixel[0] / 51) + 6 * (pixel[1] / 51) + pixel[2] / 51);
        }
    }
    rememberFrame(encoder, frame);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!decodeFrame(data, size, frames[0])) {
        return 0;
    }
    // The second frame: the same file with every 61st byte of its second half changed, so that in delta
    // mode some pixels stay and some change.
    static std::vector<std::uint8_t> second;
    second.assign(data, data + size);
    second.resize(std::max(size, kInputCapacity), 0);
    const auto twist = static_cast<std::uint8_t>(size | 1);
    for (std::size_t i = second.size() / 2; i < second.size(); i += 61) {
        second[i] = static_cast<std::uint8_t>(second[i] + twist);
    }
    const bool haveSecond = decodeFrame(second.data(), second.size(), frames[1]);
    const auto firstWait = static_cast<std::uint8_t>(size);
    const auto secondWait = static_cast<std::uint8_t>(size >> 8);

    encoder.havePreviousFrame = false;
    encoder.deltaMode = true;
    encodeAndCheck(frames[0], nullptr, firstWait);
    if (haveSecond) {
        encodeAndCheck(frames[1], &frames[0], secondWait);
        // The same frame after a previous one, in plain mode: every pixel gets its index.
        encoder.deltaMode = false;
        encodeAndCheck(frames[1], nullptr, secondWait);
    }
    return 0;
}
