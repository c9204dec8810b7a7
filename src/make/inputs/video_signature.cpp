// Videos recognised by their containers' first bytes, for the builds whose decoders offer no probe of
// their own (without FFmpeg's libraries, and Media Foundation's on Windows).
#include <cstring>

#include "make/inputs/video_source.h"

namespace animmake {

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
    const bool avi = at(0, "RIFF") && at(8, "AVI ");
    const bool mpegProgram = head[0] == 0 && head[1] == 0 && head[2] == 1 && head[3] == 0xBA;
    return isoMedia || matroska || avi || mpegProgram || at(0, "FLV") || at(0, "OggS");
}

}  // namespace animmake
