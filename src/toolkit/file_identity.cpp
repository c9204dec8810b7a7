// What both OS versions of file identity share: names resolved through std::filesystem.
#include <filesystem>
#include <system_error>

#include "toolkit/file_identity.h"
#include "toolkit/tool_platform.h"

namespace toolkit {

namespace fs = std::filesystem;

std::string folderOf(const std::string& path) {
    const fs::path parent = toolplatform::pathOf(path).parent_path();
    return parent.empty() ? std::string(".") : toolplatform::utf8Of(parent);
}

std::string entryOf(const std::string& path) {
    std::error_code code;
    const fs::path folder = fs::canonical(toolplatform::pathOf(folderOf(path)), code);
    return code ? path : toolplatform::utf8Of(folder / toolplatform::pathOf(path).filename());
}

std::string resolvedOf(const std::string& path) {
    std::error_code code;
    const fs::path resolved = fs::canonical(toolplatform::pathOf(path), code);
    return code ? path : toolplatform::utf8Of(resolved);
}

bool replacingTakes(const std::string& output, const std::string& input) {
    FileIdentity entry;
    FileIdentity target;
    if (!identityOf(output, EntryOrTarget::entry, entry) || entry.symbolicLink ||
        !identityOf(input, EntryOrTarget::target, target) || !entry.sameFile(target)) {
        return false;
    }
    return entry.links <= 1 || entryOf(output) == resolvedOf(input);
}

}  // namespace toolkit
