// The inputs of a run in order: files as given, directories opened into their images, @LIST files read,
// and on Windows wildcards expanded.
#pragma once

#include <string>
#include <vector>

#include "make/inputs/file_head.h"
#include "toolkit/tool_platform.h"

namespace animmake::inputs {

struct InputItem {
    std::string path;
    int wait = -1;                        // 0..255 when a list gives the frame's wait byte
    InputKind kind = InputKind::unknown;  // what the file is, when it was looked at already
};

// Expands the operands into `items`; the names in a list are taken from the list's own folder (those of
// @- from the current one). Returns false with `error` ("NAME: reason") for a list that cannot
// be read, names nothing or holds a bad wait byte, for a directory with no images, and for a wildcard
// pattern that matches nothing. A pattern's matches (files and folders) come in natural order. `first`, when
// given, is set to the first operand as given or matched (a file, a folder or an @LIST).
bool expandInputs(const std::vector<std::string>& operands, std::vector<InputItem>& items, std::string& error,
                  bool expandWildcards = toolplatform::kExpandsWildcards, std::string* first = nullptr);

// Whether a file given alone is a list (a list dropped on animmake.exe): plain text, not a stream, an
// image or a video, whose first line names a file or folder that exists (from the list's folder). When it
// is not, `kind` (when given) is set to what its first bytes say it is.
bool isLoneList(const std::string& path, InputKind* kind = nullptr);

// A list file's bytes as UTF-8 text, however Notepad saved it: UTF-8 with or without a byte order mark,
// UTF-16 LE or BE with one, or (text that is not UTF-8) the ANSI code page. False with `reason` for UTF-16
// that does not decode.
bool listTextAsUtf8(const std::string& bytes, std::string& text, std::string& reason);

// Whether `name` matches `pattern`: `*` any run of characters, `?` one character, letters in either case,
// as Windows matches names (there by its own PathMatchSpecExW).
bool wildcardMatches(const std::string& pattern, const std::string& name);

// Where a run without -o writes: beside `input`, named after it with .bin (clip.mp4 -> clip.bin, a folder
// shots or shots/ -> shots.bin).
std::string streamNameBeside(const std::string& input, bool isFolder);

// Natural order, as the system's file manager shows names: runs of digits compare as numbers, so "f2" sorts
// before "f10", and letters in either case alike.
void sortNaturally(std::vector<std::string>& names);

}  // namespace animmake::inputs
