#include <windows.h>

#include "toolkit/read_only.h"
#include "toolkit/win32_text.h"

namespace toolkit {

bool isMarkedReadOnly(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(toolplatform::systemPathOf(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
           (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace toolkit
