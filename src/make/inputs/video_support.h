// Whether this animmake reads video at all: a fact of the build, which the help and the man page word
// their lines by, apart from the video reader itself.
#pragma once

namespace animmake::inputs {

bool videoSupported();

}  // namespace animmake::inputs
