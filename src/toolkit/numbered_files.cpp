#include "toolkit/numbered_files.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace toolkit {
namespace {

// The number in `name` when it has the naming, else false.
bool numberOf(const std::string& name, const std::string& prefix, std::size_t digits,
              const std::string& suffix, std::size_t& number) {
    if (name.size() < prefix.size() + digits + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
        return false;
    }
    const std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (middle.size() > 18) {
        return false;
    }
    number = 0;
    for (const char c : middle) {
        if (c < '0' || c > '9') {
            return false;
        }
        number = number * 10 + static_cast<std::size_t>(c - '0');
    }
    return true;
}

}  // namespace

bool removeNumberedAfter(const std::string& folder, const std::string& prefix, std::size_t digits,
                         const std::string& suffix, std::size_t last, std::string& error) {
    std::vector<toolplatform::FolderEntry> entries;
    std::string reason;
    if (!toolplatform::listFolder(folder, entries, reason)) {
        error = folder + _(": cannot read the folder: ") + reason;
        return false;
    }
    const std::filesystem::path folderPath = toolplatform::pathOf(folder);
    for (const toolplatform::FolderEntry& entry : entries) {
        std::size_t number = 0;
        if (entry.folder || !numberOf(entry.name, prefix, digits, suffix, number) || number <= last) {
            continue;
        }
        std::error_code code;
        const std::filesystem::path path = folderPath / toolplatform::pathOf(entry.name);
        if (!std::filesystem::remove(path, code) && code) {
            error =
                toolplatform::utf8Of(path) + _(": cannot remove this earlier run's frame: ") + code.message();
            return false;
        }
    }
    return true;
}

}  // namespace toolkit
