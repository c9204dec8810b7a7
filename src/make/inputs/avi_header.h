// What an AVI's header list says of its video stream, read without a decoder: a system whose reader shows
// only the streams it can decode (Media Foundation under wine hides a VP9 video) can still name the codec
// it lacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace animmake::inputs {

// The four-character code of the first video stream of the AVI whose first `size` bytes are `bytes`
// ("VP90", "H264"): its format's compression, else its stream header's handler. Empty when the bytes are
// no AVI, or their header list names no video stream.
std::string aviVideoFourcc(const std::uint8_t* bytes, std::size_t size);

}  // namespace animmake::inputs
