#include <sys/stat.h>

#include "toolkit/file_identity.h"

namespace toolkit {

bool identityOf(const std::string& path, EntryOrTarget which, FileIdentity& identity) {
    struct stat status {};
    const int result =
        which == EntryOrTarget::entry ? ::lstat(path.c_str(), &status) : ::stat(path.c_str(), &status);
    if (result != 0) {
        return false;
    }
    identity.device = static_cast<std::uint64_t>(status.st_dev);
    identity.file = static_cast<std::uint64_t>(status.st_ino);
    identity.links = static_cast<std::uint64_t>(status.st_nlink);
    identity.directory = S_ISDIR(status.st_mode);
    identity.symbolicLink = S_ISLNK(status.st_mode);
    return true;
}

}  // namespace toolkit
