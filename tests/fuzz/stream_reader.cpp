#include "stream_reader.h"

namespace streamcheck {
namespace {

constexpr std::size_t kPixelsPerFrame = 190 * 170;
constexpr std::uint8_t kUnchanged = 0xFE;
constexpr std::uint8_t kTerminator = 0xFF;

bool isPixelValue(std::uint8_t value) {
    return (value >= 16 && value <= 231) || value == kUnchanged;
}

std::string at(std::size_t offset, const char* what) {
    return "byte " + std::to_string(offset) + ": " + what;
}

}  // namespace

Result readStream(const std::uint8_t* bytes, std::size_t length, std::vector<std::uint8_t>* values) {
    Result result;
    std::size_t position = 0;
    while (position < length) {
        Frame frame;
        frame.offset = position;
        std::size_t covered = 0;
        for (;;) {
            if (position >= length) {
                result.problem = at(position, "frame cut short");
                return result;
            }
            const std::uint8_t value = bytes[position];
            if (value == kTerminator) {
                if (covered != kPixelsPerFrame) {
                    result.problem = at(position, "terminator before 32,300 pixels");
                    return result;
                }
                if (position + 1 >= length) {
                    result.problem = at(position, "terminator without its wait byte");
                    return result;
                }
                frame.waitByte = bytes[position + 1];
                position += 2;
                break;
            }
            if (!isPixelValue(value)) {
                result.problem = at(position, "pixel value outside 16..231 and 0xFE");
                return result;
            }
            if (position + 1 >= length) {
                result.problem = at(position, "run record cut short");
                return result;
            }
            std::size_t count = bytes[position + 1];
            std::size_t recordBytes = 2;
            if ((count & 0x80) != 0) {
                count &= 0x7F;
            } else {
                if (position + 2 >= length) {
                    result.problem = at(position, "long run record cut short");
                    return result;
                }
                count = (count << 8) | bytes[position + 2];
                recordBytes = 3;
                if (count != 0 && count < 128) {
                    result.problem = at(position, "long record for a run that fits the short form");
                    return result;
                }
            }
            if (count == 0) {
                result.problem = at(position, "run of length 0");
                return result;
            }
            if (covered + count > kPixelsPerFrame) {
                result.problem = at(position, "runs cover more than 32,300 pixels");
                return result;
            }
            frame.hasUnchangedMarker = frame.hasUnchangedMarker || value == kUnchanged;
            if (values != nullptr) {
                values->insert(values->end(), count, value);
            }
            covered += count;
            position += recordBytes;
        }
        frame.length = position - frame.offset;
        result.frames.push_back(frame);
    }
    return result;
}

}  // namespace streamcheck
