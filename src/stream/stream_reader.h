// Reading an animation stream back: frame by frame, each frame checked as it is walked. Every program that
// reads a stream (animdump, animmake's tests, the fuzz targets, the benchmarks) uses this one reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "stream/stream_format.h"

namespace animconv {

// A whole stream held in memory.
struct StreamView {
    const std::uint8_t* bytes = nullptr;
    std::size_t length = 0;
};

// A frame's verdict lies in its first kFrameReach bytes: a record that breaks it starts at most this far
// into it. A reader that holds this much from a frame's start on (or the rest of the file) needs no more.
constexpr std::size_t kFrameReach = kMaxFrameBytes + kLongRunRecordBytes;

// One complete, valid frame.
struct FrameSummary {
    std::size_t number = 0;  // counted from 1
    std::size_t offset = 0;  // of its first byte in the file
    std::size_t bytes = 0;   // run records and terminator
    std::size_t runs = 0;
    std::size_t unchangedPixels = 0;
    std::uint8_t waitByte = 0;
};

enum class Problem {
    none,
    endsInRunRecord,        // the file ends inside a run record
    endsBeforeTerminator,   // the file ends between records, before the frame's terminator
    endsBeforeWaitByte,     // the file ends right after a terminator's 0xFF
    invalidValue,           // neither a colour cube index nor the unchanged marker
    unchangedInFirstFrame,  // the unchanged marker where no frame comes before
    emptyRun,               // a run of length 0
    runPastFrameEnd,        // a run that would cover more than the frame's pixels
    frameTooShort,          // a terminator before the frame's pixels are all covered
    longFormForShortRun,    // the 3-byte form for a run under 128 (ReadRules::rejectLongFormUnder128)
    emptyFile,              // no bytes: a stream holds at least one frame
    otherKindOfFile,        // an image file's signature at byte 0 (ProblemReport::kind)
};

// Where and what: enough to report the problem without looking at the bytes again.
struct ProblemReport {
    Problem problem = Problem::none;
    std::size_t frameNumber = 0;
    std::size_t frameOffset = 0;
    std::size_t byteOffset = 0;    // the record, terminator or end of file concerned
    std::size_t pixelsBefore = 0;  // pixels of the frame covered before that byte
    std::uint8_t value = 0;        // invalidValue: the byte found
    std::size_t runLength = 0;     // runPastFrameEnd: the run's length
    const char* kind = "";         // otherKindOfFile: "PNG", "GIF", "BMP" or "JPEG"
};

// The value of every pixel of a frame, top row first: a colour cube index, or with ReadRules::keepMarkers
// the unchanged marker as it stands.
struct FrameIndices {
    std::uint8_t values[kFramePixels];
};

// What a reader accepts beyond the stream format itself. Every program takes the defaults with `firstOfRun`
// for the file's frame 1, so that all of them give a file the same verdict; the tests check what animconv
// writes, and take each run's own first frame.
struct ReadRules {
    bool firstOfRun = false;             // the unchanged marker may not stand in this frame
    bool keepMarkers = false;            // `pixels` gets 0xFE where the frame has it
    bool rejectLongFormUnder128 = true;  // animconv never writes the 3-byte form for a run under 128
};

// The verdict on a file that gave no frame: Problem::emptyFile for no bytes at all, and otherKindOfFile for a
// frame 1 that did not read (`report`) under an image's signature (a PNG, GIF, BMP or JPEG file), which is
// then said instead. `firstBytes` may be the start of a longer file. Returns the problem now reported.
Problem judgeUnreadStart(StreamView firstBytes, ProblemReport& report);

// Walks the frame that starts at `offset` (frame `number`, counted from 1, for the report) under `rules`.
// Returns Problem::none with `summary` filled, or the first problem with `report` filled. When `pixels` is
// given it must hold the previous frame's values; they are replaced by this frame's, unchanged-marker runs
// keeping what is there unless `rules.keepMarkers`. After a problem it holds part of each frame.
Problem readFrame(StreamView stream, std::size_t offset, std::size_t number, const ReadRules& rules,
                  FrameSummary& summary, ProblemReport& report, FrameIndices* pixels);

// The default rules: frame 1 is the first of a run, markers are resolved, either record form is read.
Problem readFrame(StreamView stream, std::size_t offset, std::size_t number, FrameSummary& summary,
                  ProblemReport& report, FrameIndices* pixels);

// The problem in plain words, without a verdict word or line end: "frame N at byte M: " and the reason, or
// "not an animation stream: ..."; empty for none.
std::string problemText(const ProblemReport& report);

// The problem as one line ending in a line feed: "valid", or "invalid: frame N at byte M: " and the reason.
std::string verdictLine(const ProblemReport& report);

// How long a frame shows, in hundredths of a second: wait byte x scale / 1000, rounded to the nearest
// hundredth, at most 65,535 (the longest GIF delay).
std::uint16_t gifDelay(std::uint8_t waitByte, std::uint32_t scaleThousandths);

}  // namespace animconv
