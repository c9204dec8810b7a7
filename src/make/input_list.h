// The inputs of a run in order: files as given, directories opened into their images, @LIST files read.
#pragma once

#include <string>
#include <vector>

namespace animmake {

struct InputItem {
    std::string path;
    int wait = -1;  // 0..255 when a list gives the frame's wait byte
};

// Expands the operands into `items`. Returns false with `error` ("NAME: reason") for a list that cannot
// be read, names nothing or holds a bad wait byte, and for a directory with no images.
bool expandInputs(const std::vector<std::string>& operands, std::vector<InputItem>& items,
                  std::string& error);

// Natural order: runs of digits compare as numbers, so "f2" sorts before "f10".
bool naturalLess(const std::string& a, const std::string& b);

}  // namespace animmake
