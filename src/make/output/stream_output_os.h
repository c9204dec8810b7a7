// The OS steps of the stream output (stream_output_posix.cpp, stream_output_win32.cpp); the policy and
// the messages are stream_output.cpp's.
#pragma once

#include <cstdint>
#include <string>

#include "toolkit/replacing_file.h"

namespace animmake::output {

class StreamOutput;

namespace streamos {

// The output the interrupt handler undoes (none: nullptr). Called with interrupts held.
void setInterruptUndo(const StreamOutput* output);

// False when `path` names nothing (or cannot be examined).
bool examine(const std::string& path, bool& directory, std::uint64_t& size);

enum class Opened { yes, locked, failed };

// The file `path` stands for: a symbolic link's target, `path` itself where it is none (or on Windows).
std::string linkedFile(const std::string& path);

// Opened for reading and writing, created when missing, held so that no other run can use it meanwhile but
// may still be renamed over; a file renamed over meanwhile is opened again, as the name now stands.
Opened openLocked(const std::string& path, toolkit::FileHandle& handle, std::string& reason);
bool seekToEnd(toolkit::FileHandle handle, std::uint64_t& length, std::string& reason);
// Just before the new stream is renamed over the held one: POSIX keeps the lock until then; Windows, which
// renames over no open file, closes it (the handle becomes kNoFile).
void releaseForReplacing(toolkit::FileHandle& held);
// The file's first `length` bytes read with the rules of a stream; false with `fault` where they are not.
bool holdsWholeStream(toolkit::FileHandle handle, std::uint64_t length, std::string& fault);
// The stream's first `length` bytes copied into the empty file `into`, which also takes its permissions.
bool copyStream(toolkit::FileHandle from, std::uint64_t length, toolkit::FileHandle into,
                std::string& reason);

}  // namespace streamos
}  // namespace animmake::output
