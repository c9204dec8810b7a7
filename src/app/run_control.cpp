#include "app/run_control.h"

#include <cstring>

#include "convert/convert_frame.h"
#include "convert/exit_status.h"
#include "convert/frame_encoder.h"
#include "convert/messages.h"
#include "platform/console.h"
#include "platform/platform.h"

namespace animconv {
namespace {

constexpr const char* kDeltaKeyword = "use0xfe";
constexpr const char* kPlainKeyword = "no0xfe";
constexpr int kFirstPair = 3;

[[noreturn]] void failArguments(std::string_view format, const char* argument) {
    console::formattedMessage(format, argument);
    platform::exitProcess(kExitArgumentError);
}

}  // namespace

void runTool(Arguments arguments) {
    // An odd count is the program name, Mode, OutputFile and whole pairs.
    if (arguments.count <= 1 || arguments.count % 2 == 0) {
        failArguments(messages::kUsage, arguments.count > 0 ? arguments.values[0] : nullptr);
    }
    const char* mode = arguments.values[1];
    if (std::strcmp(mode, kDeltaKeyword) == 0) {
        frameState.deltaMode = true;
    } else if (std::strcmp(mode, kPlainKeyword) == 0) {
        frameState.deltaMode = false;
    } else {
        failArguments(messages::kUnknownMode, mode);
    }
    const char* outputPath = arguments.values[2];
    for (int i = kFirstPair; i < arguments.count; i += 2) {
        convertFrame(arguments.values[i], outputPath, parseWaitTime(arguments.values[i + 1]));
    }
    platform::exitProcess(kExitSuccess);
}

}  // namespace animconv
