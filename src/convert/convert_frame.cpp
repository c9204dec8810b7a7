#include "convert/convert_frame.h"

#include <cstring>
#include <string_view>

#include "bmp/bmp.h"
#include "convert/frame_encoder.h"
#include "convert/messages.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace animconv {
namespace {

// Exactly a 24-bit 190x170 image with the 40-byte header: 14 + 40 + 572 x 170.
constexpr std::size_t kInputCapacity = 97'294;

// Fixed storage for one call at a time; kept static so that no frame-sized buffer lands on the stack.
std::uint8_t inputBuffer[kInputCapacity];
FrameBuffer currentFrame;
EncodedFrame encodedFrame;

[[noreturn]] void failFrame(std::string_view message) {
    console::lineMessage(message);
    platform::exitProcess(kExitFrameFailure);
}

}  // namespace

void convertFrame(const char* inputPath, const char* outputPath, std::uint8_t waitByte) {
    platform::File input;
    if (!platform::openForReading(inputPath, input)) {
        console::formattedMessage(messages::kCannotOpenInput, inputPath);
        platform::exitProcess(kExitFrameFailure);
    }
    // Bytes past the end of a short file read as zero; the header check counts the whole buffer. Only they
    // are cleared: the read overwrites the rest.
    const std::size_t got = platform::readFile(input, inputBuffer, sizeof inputBuffer);
    std::memset(inputBuffer + got, 0, sizeof inputBuffer - got);
    platform::closeFile(input);

    BmpInfo info;
    if (bmpGetInfo(inputBuffer, sizeof inputBuffer, info) != 1) {
        failFrame(messages::kNotBmp);
    }
    if (info.width != kFrameWidth || info.height != kFrameHeight) {
        failFrame(messages::kUnusableBmp);
    }
    if (bmpDecode(inputBuffer, sizeof inputBuffer, currentFrame.pixels, 0) != 0) {
        failFrame(messages::kDecodeError);
    }

    platform::File output;
    std::uint64_t lengthBeforeFrame = 0;
    if (!platform::openForAppending(outputPath, output, lengthBeforeFrame)) {
        failFrame(messages::kCannotOpenOutput);
    }
    console::formattedMessage(messages::kConverting, inputPath);

    encodeFrame(currentFrame, waitByte, encodedFrame);
    if (!platform::writeFile(output, encodedFrame.bytes, encodedFrame.length)) {
        // A partial frame would make every later frame unreadable: leave only whole frames behind.
        platform::truncateFile(output, lengthBeforeFrame);
        console::lineMessage(messages::kCannotWriteOutput);
        platform::closeFile(output);
        platform::exitProcess(kExitFrameFailure);
    }
    console::lineMessage(messages::kDone);
    platform::closeFile(output);

    rememberFrame(currentFrame);
}

}  // namespace animconv
