#include "reference_stream.h"

#include <stdexcept>

namespace testsupport {
namespace {

constexpr std::uint8_t kUnchanged = 0xFE;
constexpr std::uint8_t kTerminator = 0xFF;

void appendRecord(Bytes& bytes, std::uint8_t value, std::size_t length) {
    bytes.push_back(value);
    if (length < 128) {
        bytes.push_back(static_cast<std::uint8_t>(0x80 | length));
    } else {
        bytes.push_back(static_cast<std::uint8_t>((length >> 8) & 0x7F));
        bytes.push_back(static_cast<std::uint8_t>(length & 0xFF));
    }
}

}  // namespace

std::uint8_t cubeIndexOf(const Bgr& colour) {
    const int level[3] = {colour.blue / 51, colour.green / 51, colour.red / 51};
    return static_cast<std::uint8_t>(16 + 36 * level[0] + 6 * level[1] + level[2]);
}

Bytes ReferenceStream::nextFrame(const Picture& picture, std::uint8_t waitByte) {
    if (picture.size() != kPixels) {
        throw std::invalid_argument("a frame is 190 x 170 colours");
    }
    std::vector<std::uint8_t> values(kPixels);
    for (std::size_t i = 0; i < kPixels; ++i) {
        const bool unchanged = mode_ == Mode::delta && previous_ && (*previous_)[i] == picture[i];
        values[i] = unchanged ? kUnchanged : cubeIndexOf(picture[i]);
    }
    Bytes bytes;
    std::size_t start = 0;
    while (start < kPixels) {
        std::size_t end = start;
        while (end < kPixels && values[end] == values[start]) {
            ++end;
        }
        appendRecord(bytes, values[start], end - start);
        start = end;
    }
    bytes.push_back(kTerminator);
    bytes.push_back(waitByte);
    previous_ = picture;
    return bytes;
}

Bytes referenceRun(Mode mode, const std::vector<std::pair<Picture, std::uint8_t>>& frames) {
    ReferenceStream stream(mode);
    Bytes bytes;
    for (const auto& [picture, waitByte] : frames) {
        const Bytes frame = stream.nextFrame(picture, waitByte);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

}  // namespace testsupport
