// An input's first bytes, read once: what the input is is told from them alone (frame_source.h), and a BMP
// that animconv accepts is all in them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "convert/convert_frame.h"

namespace animmake::inputs {

// What an input was found to be.
enum class InputKind {
    unknown,  // not looked at yet
    bmp,      // a BMP that animconv's own input step decodes
    stream,   // an animation stream
    image,    // anything libvips reads
    video,    // a media container
};

// As many bytes as animconv reads of a BMP, which is more than a stream's first frame can take and than
// the video probes need; the rest of the buffer is zero.
constexpr std::size_t kHeadBytes = animconv::kInputCapacity;

struct FileHead {
    std::unique_ptr<animconv::InputBuffer> buffer = std::make_unique<animconv::InputBuffer>();
    std::size_t size = 0;  // the bytes read: the whole file when it is shorter than kHeadBytes

    const std::uint8_t* bytes() const { return buffer->bytes; }
};

// One open and one read of the file's first kHeadBytes. False with `reason` for a folder, a file that cannot
// be opened or read, and an empty one.
bool readFileHead(const std::string& path, FileHead& head, std::string& reason);

// Every open of an input's file by the sources and their libraries' readers, counted for the tests that
// hold a video to two.
void countInputOpen();
std::size_t inputOpens();

}  // namespace animmake::inputs
