// Videos recognised by their containers' first bytes, for the builds whose decoders offer no probe of
// their own (without FFmpeg's libraries, and Media Foundation's on Windows).
#include "make/inputs/video_signature.h"

#include <cstring>
#include <initializer_list>

#include "make/inputs/video_source.h"

namespace animmake::inputs {
namespace {

bool hasAt(const FileHead& head, std::size_t offset, const char* text) {
    const std::size_t length = std::strlen(text);
    return head.size >= offset + length && std::memcmp(head.bytes() + offset, text, length) == 0;
}

}  // namespace

bool isAviHead(const FileHead& head) {
    return hasAt(head, 0, "RIFF") && hasAt(head, 8, "AVI ");
}

bool isIsoMediaHead(const FileHead& head) {
    for (const char* box : {"ftyp", "moov", "mdat", "free", "wide"}) {
        if (hasAt(head, 4, box) && head.size >= 12) {
            return true;
        }
    }
    return false;
}

bool isVideoHead(const FileHead& file) {
    if (file.size < 12) {
        return false;
    }
    const std::uint8_t* head = file.bytes();
    const auto at = [&](std::size_t offset, const char* text) {
        return std::memcmp(head + offset, text, std::strlen(text)) == 0;
    };
    // ISO media (MP4, MOV, 3GP) but not its still-image brands (HEIF, AVIF).
    const bool isoMedia =
        at(4, "ftyp") && !at(8, "heic") && !at(8, "heix") && !at(8, "mif1") && !at(8, "avif");
    const bool matroska = head[0] == 0x1A && head[1] == 0x45 && head[2] == 0xDF && head[3] == 0xA3;
    const bool avi = isAviHead(file);
    const bool mpegProgram = head[0] == 0 && head[1] == 0 && head[2] == 1 && head[3] == 0xBA;
    return isoMedia || matroska || avi || mpegProgram || at(0, "FLV") || at(0, "OggS");
}

}  // namespace animmake::inputs
