#include "stream/stream_reader.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace animconv {
namespace {

constexpr std::uint32_t kDelayScaleUnit = 1000;
constexpr std::uint32_t kLongestGifDelay = 0xFFFF;

Problem fail(ProblemReport& report, Problem problem) {
    report.problem = problem;
    return problem;
}

std::string format(const char* pattern, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, pattern);
    const int length = std::vsnprintf(text, sizeof text, pattern, arguments);
    va_end(arguments);
    return length < 0 ? std::string() : std::string(text);
}

}  // namespace

Problem judgeUnreadStart(StreamView firstBytes, ProblemReport& report) {
    if (firstBytes.length == 0) {
        report = ProblemReport{};
        report.frameNumber = 1;
        return fail(report, Problem::emptyFile);
    }
    if (report.problem == Problem::none || report.frameNumber != 1) {
        return report.problem;
    }
    struct Signature {
        const char* kind;
        const char* bytes;
        std::size_t length;
    };
    static const Signature kSignatures[] = {
        {"PNG", "\x89PNG\r\n\x1a\n", 8}, {"GIF", "GIF8", 4}, {"BMP", "BM", 2}, {"JPEG", "\xff\xd8\xff", 3}};
    for (const Signature& signature : kSignatures) {
        if (firstBytes.length >= signature.length &&
            std::memcmp(firstBytes.bytes, signature.bytes, signature.length) == 0) {
            report.kind = signature.kind;
            return fail(report, Problem::otherKindOfFile);
        }
    }
    return report.problem;
}

Problem readFrame(StreamView stream, std::size_t offset, std::size_t number, FrameSummary& summary,
                  ProblemReport& report, FrameIndices* pixels) {
    ReadRules rules;
    rules.firstOfRun = number == 1;
    return readFrame(stream, offset, number, rules, summary, report, pixels);
}

Problem readFrame(StreamView stream, std::size_t offset, std::size_t number, const ReadRules& rules,
                  FrameSummary& summary, ProblemReport& report, FrameIndices* pixels) {
    report = ProblemReport{};
    report.frameNumber = number;
    report.frameOffset = offset;
    const std::uint8_t* bytes = stream.bytes;
    std::size_t position = offset;
    std::size_t covered = 0;
    std::size_t runs = 0;
    std::size_t unchanged = 0;
    for (;;) {
        report.byteOffset = position;
        report.pixelsBefore = covered;
        if (position == stream.length) {
            return fail(report, Problem::endsBeforeTerminator);
        }
        const std::size_t left = stream.length - position;
        const std::uint8_t value = bytes[position];
        if (value == kTerminatorMarker) {
            if (covered != kFramePixels) {
                return fail(report, Problem::frameTooShort);
            }
            if (left < kTerminatorBytes) {
                return fail(report, Problem::endsBeforeWaitByte);
            }
            summary.number = number;
            summary.offset = offset;
            summary.bytes = position + kTerminatorBytes - offset;
            summary.runs = runs;
            summary.unchangedPixels = unchanged;
            summary.waitByte = bytes[position + 1];
            return Problem::none;
        }
        if (value == kUnchangedMarker) {
            if (rules.firstOfRun) {
                return fail(report, Problem::unchangedInFirstFrame);
            }
        } else if (!isCubeIndex(value)) {
            report.value = value;
            return fail(report, Problem::invalidValue);
        }
        if (left < kShortRunRecordBytes) {
            return fail(report, Problem::endsInRunRecord);
        }
        // Bit 7 of the second byte tells the 2-byte form from the 3-byte form.
        const std::uint8_t lengthByte = bytes[position + 1];
        std::size_t runLength = 0;
        std::size_t recordBytes = kShortRunRecordBytes;
        if ((lengthByte & kShortRunFlag) != 0) {
            runLength = lengthByte & static_cast<std::uint8_t>(~kShortRunFlag);
        } else {
            if (left < kLongRunRecordBytes) {
                return fail(report, Problem::endsInRunRecord);
            }
            runLength = (std::size_t{lengthByte} & kLongRunHighMask) << 8 | bytes[position + 2];
            recordBytes = kLongRunRecordBytes;
            if (rules.rejectLongFormUnder128 && runLength != 0 && runLength <= kLongestShortRun) {
                report.runLength = runLength;
                return fail(report, Problem::longFormForShortRun);
            }
        }
        if (runLength == 0) {
            return fail(report, Problem::emptyRun);
        }
        if (runLength > kFramePixels - covered) {
            report.runLength = runLength;
            return fail(report, Problem::runPastFrameEnd);
        }
        // Covered never passes kFramePixels, so the run lies inside the frame's indices.
        if (pixels != nullptr && (value != kUnchangedMarker || rules.keepMarkers)) {
            std::memset(pixels->values + covered, value, runLength);
        }
        if (value == kUnchangedMarker) {
            unchanged += runLength;
        }
        covered += runLength;
        ++runs;
        position += recordBytes;
    }
}

std::string problemText(const ProblemReport& report) {
    const std::size_t at = report.byteOffset;
    const std::size_t before = report.pixelsBefore;
    const std::size_t all = kFramePixels;
    std::string detail;
    switch (report.problem) {
        case Problem::none:
            return "";
        case Problem::emptyFile:
            return "not an animation stream: the file is empty";
        case Problem::otherKindOfFile:
            return format("not an animation stream: a %s image", report.kind);
        case Problem::endsInRunRecord:
            detail =
                format("truncated: the file ends inside the run record at byte %zu, after %zu of %zu pixels",
                       at, before, all);
            break;
        case Problem::endsBeforeTerminator:
            detail = format(
                "truncated: the file ends at byte %zu, after %zu of %zu pixels and before the terminator", at,
                before, all);
            break;
        case Problem::endsBeforeWaitByte:
            detail = format(
                "truncated: the file ends inside the terminator at byte %zu, before the wait byte", at);
            break;
        case Problem::invalidValue:
            detail = format(
                "the run record at byte %zu has the value 0x%02X, neither a colour index (16..231) "
                "nor the unchanged marker 0xFE",
                at, static_cast<unsigned>(report.value));
            break;
        case Problem::unchangedInFirstFrame:
            detail = format(
                "the run record at byte %zu has the unchanged marker 0xFE, but no frame comes before", at);
            break;
        case Problem::emptyRun:
            detail = format("the run record at byte %zu has length 0", at);
            break;
        case Problem::runPastFrameEnd:
            detail =
                format("the run of %zu pixels at byte %zu crosses the frame's end, after %zu of %zu pixels",
                       report.runLength, at, before, all);
            break;
        case Problem::longFormForShortRun:
            detail = format("the run record at byte %zu gives its %zu pixels in the 3-byte form", at,
                            report.runLength);
            break;
        case Problem::frameTooShort:
            detail = format("the terminator at byte %zu closes the frame after %zu of %zu pixels", at, before,
                            all);
            break;
    }
    return format("frame %zu at byte %zu: ", report.frameNumber, report.frameOffset) + detail;
}

std::string verdictLine(const ProblemReport& report) {
    return report.problem == Problem::none ? "valid\n" : "invalid: " + problemText(report) + "\n";
}

std::uint16_t gifDelay(std::uint8_t waitByte, std::uint32_t scaleThousandths) {
    const std::uint64_t scaled =
        (std::uint64_t{waitByte} * scaleThousandths + kDelayScaleUnit / 2) / kDelayScaleUnit;
    return static_cast<std::uint16_t>(scaled < kLongestGifDelay ? scaled : kLongestGifDelay);
}

}  // namespace animconv
