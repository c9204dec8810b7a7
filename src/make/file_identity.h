// Which file a name stands for, independent of how it is spelt: the device and file number of what the
// name resolves to (or of the name's own entry, for a link). One implementation per operating system.
#pragma once

#include <cstdint>
#include <string>

namespace animmake {

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

}  // namespace animmake
