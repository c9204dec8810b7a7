// Whether a file's bytes are a whole stream, read with the rules of what animconv writes: -a appends only
// to one, since frames appended after a cut frame or to another kind of file would be lost in it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace animmake::output {

// True for a whole stream (no bytes are a stream of no frames); false with `fault` saying where it is not
// ("not an animation stream: frame 2 at byte 64602: truncated: ...").
bool isWholeStream(const std::uint8_t* bytes, std::size_t size, std::string& fault);

}  // namespace animmake::output
