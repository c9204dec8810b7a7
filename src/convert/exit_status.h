// The tool's exit statuses.
#pragma once

namespace animconv {

constexpr int kExitSuccess = 0;
constexpr int kExitArgumentError = -1;  // 0xFFFFFFFF to the operating system, 255 to a POSIX shell
constexpr int kExitFrameFailure = 1;    // a frame failed; the frames appended before it stay

}  // namespace animconv
