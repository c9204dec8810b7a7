#include <langinfo.h>
#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "toolkit/translation.h"

namespace toolkit {
namespace {

constexpr const char* kDomain = "animconv";

// The build folder's locale/ beside the program, else the installed share/locale beside its bin/.
std::string localeFolder() {
    std::error_code code;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", code);
    if (code) {
        return ANIMCONV_LOCALEDIR;
    }
    const std::filesystem::path beside = program.parent_path() / "locale";
    if (std::filesystem::is_directory(beside, code)) {
        return beside.string();
    }
    const std::filesystem::path installed = program.parent_path().parent_path() / "share" / "locale";
    return std::filesystem::is_directory(installed, code) ? installed.string() : ANIMCONV_LOCALEDIR;
}

}  // namespace

void startTranslation() {
    // Only the language and the character set: numbers keep their "." whatever the locale.
    std::setlocale(LC_MESSAGES, "");
    // The tools' text is UTF-8 throughout, whatever the locale's character set; the system's own words
    // (strerror) follow LC_CTYPE's, and would come as '?' for a Japanese reason under LANG=C.
    const char* const characters = std::setlocale(LC_CTYPE, "");
    if (characters == nullptr || std::strcmp(nl_langinfo(CODESET), "UTF-8") != 0) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
    bindtextdomain(kDomain, localeFolder().c_str());
    bind_textdomain_codeset(kDomain, "UTF-8");
}

const char* translated(const char* english) {
    return dgettext(kDomain, english);
}

}  // namespace toolkit
