// --play where the build has no POSIX terminal: refused before anything is written.
#include "animdump/terminal_player.h"
#include "toolkit/translation.h"

namespace animdump {
namespace {

constexpr const char* kUnavailable = N_("--play is not available in this build: it needs a POSIX terminal");

}  // namespace

bool playerBuiltIn() {
    return false;
}

bool terminalCanPlay(std::string& error) {
    error = _(kUnavailable);
    return false;
}

bool playStream(animconv::StreamView, std::size_t, std::uint32_t, std::string& error) {
    error = _(kUnavailable);
    return false;
}

}  // namespace animdump
