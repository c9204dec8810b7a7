// The stream reader on any bytes, as animdump, animmake and the tests read a file: frame by frame over the
// whole file, and each frame again from a buffer of its own that holds only the frame's reach (as animmake's
// stream input refills its window at every frame), which must give the same verdict at the same bytes and the
// same pixels. Every verdict names bytes inside the file, and only a frame the file cuts short is truncated.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "stream/stream_reader.h"

namespace {

using namespace animconv;

FrameIndices wholePixels;
FrameIndices windowPixels;

bool isTruncation(Problem problem) {
    return problem == Problem::endsInRunRecord || problem == Problem::endsBeforeTerminator ||
           problem == Problem::endsBeforeWaitByte;
}

// The window's report at the file's offsets.
ProblemReport inFile(ProblemReport report, std::size_t base) {
    report.frameOffset += base;
    report.byteOffset += base;
    return report;
}

bool sameReport(const ProblemReport& a, const ProblemReport& b) {
    return a.problem == b.problem && a.frameNumber == b.frameNumber && a.frameOffset == b.frameOffset &&
           a.byteOffset == b.byteOffset && a.pixelsBefore == b.pixelsBefore && a.value == b.value &&
           a.runLength == b.runLength;
}

void checkProblem(const std::vector<std::uint8_t>& bytes, std::size_t offset, std::size_t number,
                  ProblemReport report) {
    const std::size_t size = bytes.size();
    FUZZ_CHECK(report.frameNumber == number && report.frameOffset == offset);
    FUZZ_CHECK(report.byteOffset >= offset && report.byteOffset <= size);
    FUZZ_CHECK(report.pixelsBefore <= kFramePixels);
    // Cut short only where the file ends: inside a record, before a terminator, before a wait byte.
    FUZZ_CHECK(!isTruncation(report.problem) || size - report.byteOffset < kLongRunRecordBytes);
    FUZZ_CHECK(report.problem != Problem::endsBeforeTerminator || report.byteOffset == size);
    FUZZ_CHECK(report.problem != Problem::endsBeforeWaitByte || report.byteOffset + 1 == size);
    FUZZ_CHECK(report.problem != Problem::invalidValue || bytes[report.byteOffset] == report.value);
    if (number == 1) {
        judgeUnreadStart({bytes.data(), size}, report);
    }
    const std::string line = verdictLine(report);
    FUZZ_CHECK(line.rfind("invalid: ", 0) == 0 && line.back() == '\n');
    FUZZ_CHECK(std::count(line.begin(), line.end(), '\n') == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    const StreamView whole{bytes.data(), bytes.size()};
    std::memset(&wholePixels, 0, sizeof wholePixels);
    std::memset(&windowPixels, 0, sizeof windowPixels);
    std::size_t offset = 0;
    for (std::size_t number = 1; offset < size; ++number) {
        ReadRules rules;
        rules.firstOfRun = number == 1;
        FrameSummary summary;
        ProblemReport report;
        const Problem problem = readFrame(whole, offset, number, rules, summary, report, &wholePixels);

        // An exact-size buffer: a read past the frame's reach is a finding of the sanitizers.
        const std::vector<std::uint8_t> window(
            bytes.begin() + static_cast<std::ptrdiff_t>(offset),
            bytes.begin() + static_cast<std::ptrdiff_t>(offset + std::min(kFrameReach, size - offset)));
        FrameSummary windowSummary;
        ProblemReport windowReport;
        const Problem windowProblem = readFrame({window.data(), window.size()}, 0, number, rules,
                                                windowSummary, windowReport, &windowPixels);
        FUZZ_CHECK(windowProblem == problem);
        if (problem != Problem::none) {
            FUZZ_CHECK(sameReport(inFile(windowReport, offset), report));
            checkProblem(bytes, offset, number, report);
            break;
        }
        FUZZ_CHECK(windowSummary.bytes == summary.bytes && windowSummary.runs == summary.runs &&
                   windowSummary.unchangedPixels == summary.unchangedPixels &&
                   windowSummary.waitByte == summary.waitByte);
        FUZZ_CHECK(std::memcmp(&windowPixels, &wholePixels, sizeof wholePixels) == 0);
        FUZZ_CHECK(summary.number == number && summary.offset == offset);
        FUZZ_CHECK(summary.bytes >= kShortRunRecordBytes + kTerminatorBytes &&
                   summary.bytes <= kMaxFrameBytes && summary.bytes <= size - offset);
        FUZZ_CHECK(summary.runs >= 1 && summary.unchangedPixels <= kFramePixels);
        FUZZ_CHECK(bytes[offset + summary.bytes - 2] == kTerminatorMarker &&
                   bytes[offset + summary.bytes - 1] == summary.waitByte);
        for (const std::uint8_t value : wholePixels.values) {
            FUZZ_CHECK(isCubeIndex(value));
        }
        offset += summary.bytes;
    }
    return 0;
}
