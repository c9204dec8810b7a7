// Containers told by their first bytes, for the builds whose decoders offer no probe of their own (Media
// Foundation's, and a build without video input).
#pragma once

#include "make/inputs/file_head.h"

namespace animmake::inputs {

bool isAviHead(const FileHead& head);

// ISO media (MP4, MOV, 3GP) by its first box; older MOVs start with no ftyp.
bool isIsoMediaHead(const FileHead& head);

}  // namespace animmake::inputs
