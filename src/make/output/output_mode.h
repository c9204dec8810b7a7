// How the stream is opened: the command line chooses it, the stream output follows it.
#pragma once

namespace animmake::output {

enum class OutputMode { create, replace, append };

}  // namespace animmake::output
