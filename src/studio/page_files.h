// The page's files (src/studio/page/), built into the program: nothing is read from disk to serve them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace animstudio {

struct PageFile {
    const char* name;  // "index.html", "studio.js", ...
    const std::uint8_t* bytes;
    std::size_t size;
};

extern const PageFile kPageFiles[];
extern const std::size_t kPageFileCount;

}  // namespace animstudio
