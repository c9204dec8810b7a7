#include "animdump/stream_report.h"

#include <cstdio>

namespace animdump {
namespace {

using animconv::FrameSummary;
using animconv::Problem;
using animconv::ProblemReport;

std::string counted(std::size_t count, const char* singular, const char* plural) {
    return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

std::string tableHeading() {
    char line[80];
    std::snprintf(line, sizeof line, "%5s  %10s  %6s  %5s  %9s  %4s\n", "frame", "offset", "bytes", "runs",
                  "unchanged", "wait");
    return line;
}

std::string tableRow(const FrameSummary& frame) {
    char line[128];
    std::snprintf(line, sizeof line, "%5zu  %10zu  %6zu  %5zu  %9zu  %4u\n", frame.number, frame.offset,
                  frame.bytes, frame.runs, frame.unchangedPixels, static_cast<unsigned>(frame.waitByte));
    return line;
}

std::string totalsLine(const StreamTotals& totals) {
    return "total: " + counted(totals.frames, "frame", "frames") + ", " +
           counted(totals.bytes, "byte", "bytes") + ", " + counted(totals.runs, "run", "runs") + ", " +
           counted(totals.unchangedPixels, "unchanged pixel", "unchanged pixels") + "\n";
}

}  // namespace

Problem checkStream(animconv::StreamView stream, StreamTotals& totals, std::string& reportText) {
    totals = StreamTotals{};
    reportText = tableHeading();
    ProblemReport report;
    std::size_t offset = 0;
    while (offset < stream.length) {
        FrameSummary frame;
        if (animconv::readFrame(stream, offset, totals.frames + 1, frame, report, nullptr) != Problem::none) {
            break;
        }
        reportText += tableRow(frame);
        ++totals.frames;
        totals.bytes += frame.bytes;
        totals.runs += frame.runs;
        totals.unchangedPixels += frame.unchangedPixels;
        offset += frame.bytes;
    }
    if (totals.frames == 0) {
        animconv::judgeUnreadStart(stream, report);
    }
    reportText += totalsLine(totals);
    reportText += animconv::verdictLine(report);
    return report.problem;
}

}  // namespace animdump
