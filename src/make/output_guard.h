// Nothing animmake writes may be one of its inputs: the stream (the file renamed over, or appended to) and
// the frames folder are compared with every input by file identity, not by spelling, before anything is
// opened for writing.
#pragma once

#include <string>
#include <vector>

#include "make/inputs/input_list.h"
#include "make/make_options.h"

namespace animmake {

// False with `error` (one line naming the output and the input) when writing the stream as `options` ask,
// or a frame into --frames-dir, would write over an input file, an @LIST file or into an input folder.
// `inputs` are the operands expanded.
bool outputsSpareInputs(const MakeOptions& options, const std::vector<inputs::InputItem>& inputs,
                        std::string& error);

// False with `error` (one line naming it) when the stream, or a frame file in --frames-dir, exists and is
// marked read-only: it is never replaced or appended to, -f or not.
bool outputsWritable(const MakeOptions& options, std::string& error);

}  // namespace animmake
