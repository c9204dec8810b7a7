// The video codec an AVI's header list names, read without a decoder.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "make/inputs/avi_header.h"

namespace maketest {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes littleEndian(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

Bytes text(const std::string& characters) {
    return Bytes(characters.begin(), characters.end());
}

Bytes joined(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// A chunk: its id, its size and its data, padded to an even length.
Bytes chunk(const std::string& id, const Bytes& data) {
    Bytes bytes = joined({text(id), littleEndian(static_cast<std::uint32_t>(data.size())), data});
    if (data.size() % 2 != 0) {
        bytes.push_back(0);
    }
    return bytes;
}

Bytes list(const std::string& type, const std::vector<Bytes>& chunks) {
    return chunk("LIST", joined({text(type), joined(chunks)}));
}

// A stream list: its header (type and handler) and, for video, a BITMAPINFOHEADER with its compression.
Bytes streamList(const std::string& type, const std::string& handler, const std::string& compression) {
    Bytes header = joined({text(type), text(handler), Bytes(48, 0)});
    Bytes format = joined({littleEndian(40), littleEndian(320), littleEndian(240), Bytes{1, 0, 24, 0},
                           text(compression), Bytes(20, 0)});
    return list("strl", {chunk("strh", header), chunk("strf", format)});
}

Bytes avi(const std::vector<Bytes>& streamLists) {
    std::vector<Bytes> header = {chunk("avih", Bytes(56, 0))};
    header.insert(header.end(), streamLists.begin(), streamLists.end());
    const Bytes body = joined({text("AVI "), list("hdrl", header), list("movi", {})});
    return joined({text("RIFF"), littleEndian(static_cast<std::uint32_t>(body.size())), body});
}

TEST(AviHeader, TheFirstVideoStreamsCodec) {
    const Bytes vp9 = avi({streamList("vids", "VP90", "VP90")});
    const Bytes noHandler = avi({streamList("vids", std::string(4, '\0'), "H264")});
    const Bytes noCompression = avi({streamList("vids", "MJPG", std::string(4, '\0'))});
    const Bytes soundFirst = avi({streamList("auds", "\x01\0\0\0", "junk"), streamList("vids", "", "XVID")});
    const Bytes soundAlone = avi({streamList("auds", "\x01\0\0\0", "junk")});
    Bytes oversized = vp9;
    oversized[16] = 0xFF;  // the header list claims more than the file holds: read to the file's end
    Bytes wave = vp9;
    wave[8] = 'W';
    const std::pair<Bytes, std::string> cases[] = {
        {vp9, "VP90"},
        {noHandler, "H264"},
        {noCompression, "MJPG"},
        {soundFirst, "XVID"},
        {soundAlone, ""},
        {oversized, "VP90"},
        {Bytes(vp9.begin(), vp9.begin() + 60), ""},  // cut inside the stream header
        {wave, ""},
        {Bytes(vp9.begin(), vp9.begin() + 11), ""},
    };
    for (const auto& [bytes, code] : cases) {
        EXPECT_EQ(animmake::inputs::aviVideoFourcc(bytes.data(), bytes.size()), code)
            << code << " " << bytes.size();
    }
}

}  // namespace
}  // namespace maketest
