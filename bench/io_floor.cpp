// The I/O floor for the whole-process benchmark: the file system work of a conversion and nothing else.
// For each input it opens, reads up to 97,294 bytes and closes; then it opens the output for appending,
// appends as many bytes as the converter appended for that frame, and closes.
//
//   io_floor OUTPUT SIZES_FILE FIRST_FRAME INPUT...
//
// SIZES_FILE holds one decimal frame length per line (the converter's frames, in order); FIRST_FRAME is the
// line that belongs to the first INPUT, so one-frame-per-call runs can share one sizes file.
//
//   io_floor --frame-sizes STREAM
//
// prints the length of each frame of an animation stream, one a line: the SIZES_FILE for a later run.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "convert/convert_frame.h"
#include "stream/stream_format.h"
#include "stream/stream_reader.h"

namespace {

using animconv::kInputCapacity;
using animconv::kMaxFrameBytes;

unsigned char inputBuffer[kInputCapacity];
unsigned char frameBytes[kMaxFrameBytes];

// Each frame's length, read with the project's stream reader.
int printFrameSizes(const char* path) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::perror(path);
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    for (int byte = std::fgetc(file); byte != EOF; byte = std::fgetc(file)) {
        bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    std::fclose(file);
    const animconv::StreamView stream{bytes.data(), bytes.size()};
    for (std::size_t offset = 0, number = 1; offset < bytes.size(); ++number) {
        animconv::FrameSummary frame;
        animconv::ProblemReport report;
        if (animconv::readFrame(stream, offset, number, frame, report, nullptr) != animconv::Problem::none) {
            std::fputs(animconv::verdictLine(report).c_str(), stderr);
            return 1;
        }
        std::printf("%zu\n", frame.bytes);
        offset += frame.bytes;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--frame-sizes") {
        return printFrameSizes(argv[2]);
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s OUTPUT SIZES_FILE FIRST_FRAME INPUT...\n", argv[0]);
        return 2;
    }
    // The sizes are read as the frames go, so that nothing grows with the frame count. C library only: the
    // floor must not pay for loading a library the converter does not use.
    std::FILE* sizes = std::fopen(argv[2], "r");
    if (sizes == nullptr) {
        std::perror(argv[2]);
        return 2;
    }
    unsigned long size = 0;
    for (unsigned long skip = std::strtoul(argv[3], nullptr, 10); skip > 0; --skip) {
        if (std::fscanf(sizes, "%lu", &size) != 1) {
            std::fprintf(stderr, "%s: too few frame sizes\n", argv[0]);
            return 2;
        }
    }
    for (int i = 4; i < argc; ++i) {
        if (std::fscanf(sizes, "%lu", &size) != 1) {
            std::fprintf(stderr, "%s: too few frame sizes\n", argv[0]);
            return 2;
        }
        const std::size_t length = size > kMaxFrameBytes ? kMaxFrameBytes : size;
        const int input = ::open(argv[i], O_RDONLY | O_CLOEXEC);
        if (input < 0 || ::read(input, inputBuffer, sizeof inputBuffer) < 0) {
            std::perror(argv[i]);
            return 1;
        }
        ::close(input);
        const int output = ::open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (output < 0 || ::write(output, frameBytes, length) != static_cast<ssize_t>(length)) {
            std::perror(argv[1]);
            return 1;
        }
        ::close(output);
    }
    std::fclose(sizes);
    return 0;
}
