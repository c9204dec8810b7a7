// The Windows build has no player: a console gives no way to redraw only the changed cells at the frames'
// timing and restore itself whatever ends the program, as a POSIX terminal does. --play is refused before
// anything is written; --show draws a still frame in the console.
#include "animdump/terminal_player.h"

namespace animdump {

bool terminalCanPlay(std::string& error) {
    error = "--play is not available on Windows: use --show N for one frame or --gif for the animation";
    return false;
}

bool playStream(StreamView, std::size_t, std::uint32_t, std::string& error) {
    terminalCanPlay(error);
    return false;
}

}  // namespace animdump
