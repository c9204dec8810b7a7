#include <windows.h>

#include "toolkit/file_identity.h"
#include "toolkit/win32_text.h"

namespace toolkit {

bool identityOf(const std::string& path, EntryOrTarget which, FileIdentity& identity) {
    // No access asked: the file's information only, even while another run holds it with no sharing.
    // Folders open with backup semantics; a link is described itself when its entry is asked for.
    const DWORD flags =
        FILE_FLAG_BACKUP_SEMANTICS | (which == EntryOrTarget::entry ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const HANDLE handle = CreateFileW(toolplatform::wideOf(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool known = GetFileInformationByHandle(handle, &information) != 0;
    CloseHandle(handle);
    if (!known) {
        return false;
    }
    identity.device = information.dwVolumeSerialNumber;
    identity.file = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
    identity.links = information.nNumberOfLinks;
    identity.directory = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    identity.symbolicLink =
        which == EntryOrTarget::entry && (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return true;
}

}  // namespace toolkit
