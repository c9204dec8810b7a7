// An independent reader of the animation stream, for checking what the converter wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace streamcheck {

struct Frame {
    std::size_t offset = 0;  // of the first run record in the stream
    std::size_t length = 0;  // records and terminator
    std::uint8_t waitByte = 0;
    bool hasUnchangedMarker = false;
};

struct Result {
    std::vector<Frame> frames;
    std::string problem;  // empty when every byte belongs to a whole, well-formed frame
    bool valid() const { return problem.empty(); }
};

// Every frame must cover exactly 32,300 pixels with runs of 1 or more whose values are 16..231 or 0xFE, and
// end with 0xFF and a wait byte. When `values` is given, each frame's 32,300 pixel values are appended to it.
Result readStream(const std::uint8_t* bytes, std::size_t length, std::vector<std::uint8_t>* values = nullptr);

inline Result readStream(const std::vector<std::uint8_t>& bytes,
                         std::vector<std::uint8_t>* values = nullptr) {
    return readStream(bytes.data(), bytes.size(), values);
}

}  // namespace streamcheck
