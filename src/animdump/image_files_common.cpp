// What both image writers share (giflib/libpng on Linux, libvips on Windows): the names of the PNG files.
#include <cstdio>

#include "animdump/image_files.h"

namespace animdump {

std::string pngName(std::size_t frameNumber) {
    char name[40];
    std::snprintf(name, sizeof name, "frame-%04zu.png", frameNumber);
    return name;
}

}  // namespace animdump
