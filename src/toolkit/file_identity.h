// Which file a name stands for, independent of how it is spelt: the device and file number of what the
// name resolves to (or of the name's own entry, for a link). One implementation per operating system.
#pragma once

#include <cstdint>
#include <string>

namespace toolkit {

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    std::uint64_t links = 0;  // hard links to the file
    bool directory = false;
    bool symbolicLink = false;  // only with EntryOrTarget::entry

    bool sameFile(const FileIdentity& other) const { return device == other.device && file == other.file; }
};

enum class EntryOrTarget { target, entry };

// False when `path` names nothing (or cannot be examined). With `entry`, a symbolic link is described
// itself, not what it points at.
bool identityOf(const std::string& path, EntryOrTarget which, FileIdentity& identity);

// The folder a name is in ("." for a bare name).
std::string folderOf(const std::string& path);

// The directory entry a name ends in, with the folders on its way resolved: `a/../b/f` and `b/f` agree, a
// link and the file it points at do not. The name as given when its folder cannot be resolved.
std::string entryOf(const std::string& path);

// The name with every link and `..` resolved; the name as given when it cannot be.
std::string resolvedOf(const std::string& path);

// Whether putting a new file in place under `output` (a file renamed over it) would take the data of the
// existing file `input` away. Renaming replaces the entry alone: harmless when it is a symbolic link, or a
// hard link other than the input's own name (the input keeps its data under its name).
bool replacingTakes(const std::string& output, const std::string& input);

}  // namespace toolkit
