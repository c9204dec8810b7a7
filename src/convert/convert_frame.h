#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/frame_encoder.h"
#include "platform/platform.h"

namespace animconv {

// The bytes of an input file the converter reads: exactly a 24-bit 190x170 image with the 40-byte header,
// 14 + 40 + 572 x 170. A shorter file reads as zero past its end; the header check counts the whole buffer.
constexpr std::size_t kInputCapacity = 97'294;

// The first kInputCapacity bytes of the file at `path` in `input`, zero past the file's end. False when the
// file cannot be opened (missing, a directory, locked by another opener); `got` receives the bytes read,
// `identity` which file they came from.
struct InputBuffer {
    std::uint8_t bytes[kInputCapacity];
};
bool readInput(const char* path, InputBuffer& input, std::size_t& got, platform::FileIdentity& identity);

enum class InputStatus { decoded, notBmp, unusableBmp, decodeError };

// The pure middle of a frame: the header check over `length` bytes of `input` (kInputCapacity for the
// converter), the 190x170 size check and the decode into `frame`. Writes nothing to `frame` on a failure
// before the decode.
InputStatus decodeInput(const std::uint8_t* input, std::size_t length, FrameBuffer& frame);

// The encoder's state for the frames this process converts; the mode is set before the first frame.
extern EncoderState frameState;

// Turns the BMP image at `inputPath` into one frame appended to `outputPath`. Returns only when the frame
// is written; any failure prints its message and ends the process with kExitFrameFailure.
void convertFrame(const char* inputPath, const char* outputPath, std::uint8_t waitByte);

}  // namespace animconv
