#include "make/inputs/avi_header.h"

#include <cstring>

namespace animmake::inputs {
namespace {

constexpr std::uint64_t kChunkHeader = 8;  // four-character id, 32-bit little-endian size

std::uint32_t littleEndian32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

bool isId(const std::uint8_t* at, const char* id) {
    return std::memcmp(at, id, 4) == 0;
}

// Four bytes as text, or empty when they are no printable code.
std::string fourccText(const std::uint8_t* at) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (at[i] < 0x20 || at[i] > 0x7E) {
            return "";
        }
    }
    std::string text(reinterpret_cast<const char*>(at), 4);
    return text == "    " ? "" : text;
}

// The code of a stream list ("strl") from `begin` to `end`: "vids" streams only.
std::string videoCodeOf(const std::uint8_t* bytes, std::uint64_t begin, std::uint64_t end) {
    std::string handler;
    std::string compression;
    bool video = false;
    for (std::uint64_t at = begin; at + kChunkHeader <= end;) {
        const std::uint64_t size = littleEndian32(bytes + at + 4);
        const std::uint64_t data = at + kChunkHeader;
        if (size > end - data) {
            break;
        }
        if (isId(bytes + at, "strh") && size >= 8) {
            video = isId(bytes + data, "vids");
            handler = fourccText(bytes + data + 4);
        } else if (isId(bytes + at, "strf") && size >= 20) {
            compression = fourccText(bytes + data + 16);  // BITMAPINFOHEADER's biCompression
        }
        at = data + size + (size & 1);
    }
    if (!video) {
        return "";
    }
    return compression.empty() ? handler : compression;
}

}  // namespace

std::string aviVideoFourcc(const std::uint8_t* bytes, std::size_t size) {
    const std::uint64_t length = size;
    if (length < 12 || !isId(bytes, "RIFF") || !isId(bytes + 8, "AVI ")) {
        return "";
    }
    // The header list comes first; its stream lists follow the main header.
    for (std::uint64_t at = 12; at + kChunkHeader <= length;) {
        const std::uint64_t chunkSize = littleEndian32(bytes + at + 4);
        const std::uint64_t data = at + kChunkHeader;
        const std::uint64_t end = data + chunkSize > length ? length : data + chunkSize;
        if (isId(bytes + at, "LIST") && data + 4 <= end && isId(bytes + data, "hdrl")) {
            for (std::uint64_t inner = data + 4; inner + kChunkHeader <= end;) {
                const std::uint64_t innerSize = littleEndian32(bytes + inner + 4);
                const std::uint64_t innerData = inner + kChunkHeader;
                const std::uint64_t innerEnd = innerData + innerSize > end ? end : innerData + innerSize;
                if (isId(bytes + inner, "LIST") && innerData + 4 <= innerEnd &&
                    isId(bytes + innerData, "strl")) {
                    const std::string code = videoCodeOf(bytes, innerData + 4, innerEnd);
                    if (!code.empty()) {
                        return code;
                    }
                }
                inner = innerData + innerSize + (innerSize & 1);
            }
            return "";
        }
        at = data + chunkSize + (chunkSize & 1);
    }
    return "";
}

}  // namespace animmake::inputs
