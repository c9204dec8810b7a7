// Writes COUNT 24-bit 190x170 frames of one content kind into a folder, as frame-0000.bmp, frame-0001.bmp,
// ...
//
//   make_bench_frames FOLDER flat|photo|noise COUNT
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "frame_content.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FOLDER flat|photo|noise COUNT\n", argv[0]);
        return 2;
    }
    const std::string_view kindArgument = argv[2];
    const framecontent::Kind* kind = nullptr;
    for (const framecontent::Kind& candidate : framecontent::kAllKinds) {
        if (framecontent::kindName(candidate) == kindArgument) {
            kind = &candidate;
        }
    }
    const int count = std::atoi(argv[3]);
    if (kind == nullptr || count < 1) {
        std::fprintf(stderr, "%s: unknown kind or count\n", argv[0]);
        return 2;
    }
    for (int frame = 0; frame < count; ++frame) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%04d.bmp", frame);
        const std::string path = std::string(argv[1]) + name;
        if (!bmpwriter::writeFile(path, framecontent::frameFile24(*kind, frame))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
