#include "make/output/stream_check.h"

#include "stream/stream_reader.h"
#include "toolkit/translation.h"

namespace animmake::output {

bool isWholeStream(const std::uint8_t* bytes, std::size_t size, std::string& fault) {
    const animconv::StreamView stream{bytes, size};
    animconv::ReadRules rules;
    rules.rejectLongFormUnder128 = true;
    animconv::FrameSummary frame;
    animconv::ProblemReport report;
    std::size_t offset = 0;
    for (std::size_t number = 1; offset < size; ++number) {
        rules.firstOfRun = number == 1;
        if (animconv::readFrame(stream, offset, number, rules, frame, report, nullptr) !=
            animconv::Problem::none) {
            break;
        }
        offset += frame.bytes;
    }
    if (report.problem == animconv::Problem::none) {
        return true;
    }
    animconv::judgeUnreadStart(stream, report);
    fault = animconv::problemText(report);
    // The reader's own reason may say already that this is no stream.
    const std::string notAStream = "not an animation stream: ";
    if (fault.rfind(notAStream, 0) == 0) {
        fault.erase(0, notAStream.size());
    }
    fault = _("not an animation stream: ") + fault;
    return false;
}

}  // namespace animmake::output
