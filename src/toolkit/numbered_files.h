// A folder of numbered frames written again: the files of an earlier, longer run under the same naming
// removed, so that the folder holds exactly this run's frames. Files of any other name are never touched.
#pragma once

#include <cstddef>
#include <string>

namespace toolkit {

// Removes every file in `folder` named `prefix`, a number above `last` written with at least `digits`
// digits, then `suffix` ("frame-", 6, ".bmp": frame-000124.bmp and up after 123 frames). False with `error`
// (one line naming the file) when one cannot be removed.
bool removeNumberedAfter(const std::string& folder, const std::string& prefix, std::size_t digits,
                         const std::string& suffix, std::size_t last, std::string& error);

}  // namespace toolkit
