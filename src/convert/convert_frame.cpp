#include "convert/convert_frame.h"

#include <cstring>
#include <string_view>

#include "bmp/bmp.h"
#include "convert/exit_status.h"
#include "convert/frame_encoder.h"
#include "convert/messages.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace animconv {

EncoderState frameState;

namespace {

// Fixed storage for one call at a time; kept static so that no frame-sized buffer lands on the stack.
InputBuffer inputBuffer;
FrameBuffer currentFrame;
EncodedFrame encodedFrame;

[[noreturn]] void failFrame(std::string_view message) {
    console::lineMessage(message);
    platform::exitProcess(kExitFrameFailure);
}

}  // namespace

bool readInput(const char* path, InputBuffer& input, std::size_t& got, platform::FileIdentity& identity) {
    platform::File file;
    if (!platform::openForReading(path, file)) {
        return false;
    }
    identity = file.identity;
    // Only the bytes past the end are cleared: the read overwrites the rest.
    got = platform::readFile(file, input.bytes, sizeof input.bytes);
    std::memset(input.bytes + got, 0, sizeof input.bytes - got);
    platform::closeFile(file);
    return true;
}

InputStatus decodeInput(const std::uint8_t* input, std::size_t length, FrameBuffer& frame) {
    BmpInfo info;
    if (bmpGetInfo(input, length, info) != 1) {
        return InputStatus::notBmp;
    }
    if (info.width != kFrameWidth || info.height != kFrameHeight) {
        return InputStatus::unusableBmp;
    }
    if (bmpDecode(input, length, frame.pixels, 0) != 0) {
        return InputStatus::decodeError;
    }
    return InputStatus::decoded;
}

void convertFrame(const char* inputPath, const char* outputPath, std::uint8_t waitByte) {
    std::size_t got = 0;
    platform::FileIdentity inputIdentity;
    // An input that is the output would have the frame appended to it; the output admits no other opener
    // while it is open, so such an input is one that cannot be opened. The output's identity is taken once
    // it exists and kept for the run's output name, so that a frame costs no look-up of its own.
    static platform::FileIdentity outputIdentity;
    static const char* identifiedOutput = nullptr;
    if (!outputIdentity.known || identifiedOutput != outputPath) {
        outputIdentity = platform::identityOf(outputPath);
        identifiedOutput = outputPath;
    }
    if (!readInput(inputPath, inputBuffer, got, inputIdentity) ||
        platform::sameFile(inputIdentity, outputIdentity)) {
        console::formattedMessage(messages::kCannotOpenInput, inputPath);
        platform::exitProcess(kExitFrameFailure);
    }

    switch (decodeInput(inputBuffer.bytes, sizeof inputBuffer.bytes, currentFrame)) {
        case InputStatus::decoded:
            break;
        case InputStatus::notBmp:
            failFrame(messages::kNotBmp);
        case InputStatus::unusableBmp:
            failFrame(messages::kUnusableBmp);
        case InputStatus::decodeError:
            failFrame(messages::kDecodeError);
    }

    platform::File output;
    std::uint64_t lengthBeforeFrame = 0;
    if (!platform::openForAppending(outputPath, output, lengthBeforeFrame)) {
        failFrame(messages::kCannotOpenOutput);
    }
    console::formattedMessage(messages::kConverting, inputPath);

    encodeFrame(frameState, currentFrame, waitByte, encodedFrame);
    if (!platform::writeFile(output, encodedFrame.bytes, encodedFrame.length)) {
        // A partial frame would make every later frame unreadable: leave only whole frames behind.
        platform::truncateFile(output, lengthBeforeFrame);
        console::lineMessage(messages::kCannotWriteOutput);
        platform::closeFile(output);
        platform::exitProcess(kExitFrameFailure);
    }
    console::lineMessage(messages::kDone);
    platform::closeFile(output);

    rememberFrame(frameState, currentFrame);
}

}  // namespace animconv
