// Files marked read-only are never replaced or appended to, even when asked to (-f): the mark is the
// user's own say, and renaming a new file over the name would drop it without a word.
#pragma once

#include <string>

namespace toolkit {

// Whether `path` names an existing file that is marked read-only: the Windows attribute, or on POSIX no
// write permission bit set for anyone, whoever runs the program (root may write anything, and would).
bool isMarkedReadOnly(const std::string& path);

}  // namespace toolkit
