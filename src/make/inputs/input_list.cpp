#include "make/inputs/input_list.h"

#include <glib.h>
#include <vips/vips.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "make/inputs/frame_source.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

#ifdef _WIN32
#include <windows.h>

#include <shlwapi.h>

#include "toolkit/win32_text.h"
#endif

namespace animmake::inputs {
namespace {

// Named as a frame is: an image or video file's usual extension (a stream's .bin is no frame of a folder).
bool namedAsFrame(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    static const char* const kFrameExtensions[] = {
        "bmp",  "png", "jpg", "jpeg", "gif",  "webp", "tif", "tiff", "heic", "heif", "avif",
        "jxl",  "jp2", "ppm", "pgm",  "pnm",  "pbm",  "svg", "mp4",  "m4v",  "mov",  "mkv",
        "webm", "avi", "ogv", "mpg",  "mpeg", "ts",   "wmv", "flv",  "3gp"};
    return std::any_of(std::begin(kFrameExtensions), std::end(kFrameExtensions),
                       [&](const char* known) { return extension == known; });
}

// A directory's frames: regular files, not hidden, that are images or videos by their first bytes (streams
// are not), and every file named as an image or video is. One of those that does not read (an empty or text
// file among the frames) is then refused by name, as it is when named alone, rather than left out in silence;
// other files (notes.txt) are not frames.
bool expandDirectory(const std::string& folder, std::vector<InputItem>& items, std::string& error) {
    std::vector<toolplatform::FolderEntry> entries;
    std::string reason;
    if (!toolplatform::listFolder(folder, entries, reason)) {
        error = folder + _(": cannot read the directory: ") + reason;
        return false;
    }
    // Joined with the system's separator: dir/f1.png here, dir\f1.png on Windows.
    const std::filesystem::path folderPath = toolplatform::pathOf(folder);
    // Named as a frame, a file is looked at when it is loaded; any other, once here, and what it was
    // found to be goes with it.
    struct Frame {
        std::string name;
        InputKind kind;
    };
    std::vector<Frame> frames;
    FileHead head;
    for (const toolplatform::FolderEntry& entry : entries) {
        if (entry.name.empty() || entry.name[0] == '.' || entry.folder) {
            continue;
        }
        const std::string path = toolplatform::utf8Of(folderPath / toolplatform::pathOf(entry.name));
        if (namedAsFrame(entry.name)) {
            frames.push_back(Frame{entry.name, InputKind::unknown});
            continue;
        }
        const InputKind kind = readFileHead(path, head, reason) ? kindOf(path, head) : InputKind::unknown;
        if (kind != InputKind::unknown && kind != InputKind::stream) {
            frames.push_back(Frame{entry.name, kind});
        }
    }
    if (frames.empty()) {
        error = folder + _(": no image files in the directory");
        return false;
    }
    // Names are unique in a folder: each name's kind is found again after the sort.
    std::map<std::string, InputKind> kinds;
    std::vector<std::string> names;
    for (Frame& frame : frames) {
        kinds.emplace(frame.name, frame.kind);
        names.push_back(std::move(frame.name));
    }
    sortNaturally(names);
    for (const std::string& name : names) {
        items.push_back(
            InputItem{toolplatform::utf8Of(folderPath / toolplatform::pathOf(name)), -1, kinds[name]});
    }
    return true;
}

// Whether the text is UTF-8 throughout. glib stops at a NUL byte, which counts as text here as it does in
// UTF-16.
bool isUtf8(const std::string& text) {
    const char* at = text.data();
    const char* const end = at + text.size();
    const char* stop = nullptr;
    while (!g_utf8_validate(at, static_cast<gssize>(end - at), &stop)) {
        if (*stop != '\0') {
            return false;
        }
        at = stop + 1;
    }
    return true;
}

// UTF-16 after its byte order mark: false for an odd byte count or a lone surrogate.
bool utf8OfUtf16(const std::string& bytes, bool bigEndian, std::string& text) {
    if (bytes.size() % 2 != 0) {
        return false;
    }
    std::vector<gunichar2> units((bytes.size() - 2) / 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 + 2 * i]);
        const auto second = static_cast<unsigned char>(bytes[3 + 2 * i]);
        units[i] = static_cast<gunichar2>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    // glib ends its text at a NUL unit: the runs between them are converted one by one.
    for (auto from = units.begin(); from != units.end();) {
        const auto nul = std::find(from, units.end(), gunichar2{0});
        GError* failure = nullptr;
        glong written = 0;
        const std::unique_ptr<gchar, decltype(&g_free)> run(
            g_utf16_to_utf8(&*from, static_cast<glong>(nul - from), nullptr, &written, &failure), &g_free);
        if (run == nullptr) {
            g_clear_error(&failure);
            return false;
        }
        text.append(run.get(), static_cast<std::size_t>(written));
        from = nul;
        if (from != units.end()) {
            text += '\0';
            ++from;
        }
    }
    return true;
}

#ifndef _WIN32
// A name as glib takes it, case folded: bytes that are not UTF-8 stand as U+FFFD.
std::string foldedUtf8(const std::string& name) {
    const std::unique_ptr<gchar, decltype(&g_free)> valid(
        g_utf8_make_valid(name.data(), static_cast<gssize>(name.size())), &g_free);
    const std::unique_ptr<gchar, decltype(&g_free)> folded(g_utf8_casefold(valid.get(), -1), &g_free);
    return folded.get();
}
#endif

bool hasWildcard(const std::string& text) {
    return text.find_first_of("*?") != std::string::npos;
}

// A wildcard operand's matches in its folder, in natural order, each as a folder or a file operand.
bool expandWildcard(const std::string& operand, std::vector<std::string>& matches, std::string& error) {
    const std::size_t cut = operand.find_last_of("\\/");
    const std::string folder = cut == std::string::npos ? std::string() : operand.substr(0, cut + 1);
    const std::string pattern = operand.substr(cut == std::string::npos ? 0 : cut + 1);
    std::vector<toolplatform::FolderEntry> entries;
    std::string reason;
    if (hasWildcard(folder)) {
        error = operand + _(": wildcards are taken in the last part of a name only");
        return false;
    }
    if (!toolplatform::listFolder(folder.empty() ? "." : folder, entries, reason)) {
        error = operand + _(": cannot read the directory: ") + reason;
        return false;
    }
    std::vector<std::string> names;
    for (const toolplatform::FolderEntry& entry : entries) {
        if (wildcardMatches(pattern, entry.name) && (entry.name[0] != '.' || pattern[0] == '.')) {
            names.push_back(entry.name);
        }
    }
    if (names.empty()) {
        error = operand + _(": no file or folder matches");
        return false;
    }
    sortNaturally(names);
    for (const std::string& name : names) {
        matches.push_back(folder + name);
    }
    return true;
}

bool parseWait(const std::string& text, int& wait) {
    unsigned value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, failure] = std::from_chars(text.data(), end, value);
    if (failure != std::errc() || stop != end || text.size() > 3 || value > 255) {
        return false;
    }
    wait = static_cast<int>(value);
    return true;
}

// A name from a list, taken from the list's own folder (as a dropped list names its neighbours); a whole
// path, or one from a drive's root on Windows, as it is.
std::string fromListFolder(const std::filesystem::path& listFolder, const std::string& name) {
    if (listFolder.empty() || name.empty()) {
        return name;
    }
    return toolplatform::utf8Of(listFolder / toolplatform::pathOf(name));
}

// The lines of a list's text, without their line ends; blank lines stay (their numbers count).
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

bool readList(const std::string& operand, std::vector<InputItem>& items, std::string& error) {
    const std::string listName = operand.substr(1);
    const std::filesystem::path listFolder =
        listName == "-" ? std::filesystem::path() : toolplatform::pathOf(listName).parent_path();
    std::string bytes;
    if (listName == "-") {
        if (!toolplatform::readAll(stdin, bytes)) {
            error = listName + _(": cannot read the list");
            return false;
        }
    } else {
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(toolplatform::openFile(listName, "rb"),
                                                                   &std::fclose);
        if (file == nullptr) {
            error = listName + _(": cannot read the list: ") + std::strerror(errno);
            return false;
        }
        if (!toolplatform::readAll(file.get(), bytes)) {
            error = listName + _(": cannot read the list: ") + std::strerror(errno);
            return false;
        }
    }
    std::string text;
    std::string reason;
    if (!listTextAsUtf8(bytes, text, reason)) {
        error = listName + ": " + reason;
        return false;
    }
    const std::size_t before = items.size();
    std::size_t number = 0;
    for (const std::string& line : linesOf(text)) {
        ++number;
        if (line.empty()) {
            continue;
        }
        InputItem item;
        const std::size_t tab = line.find('\t');
        item.path = fromListFolder(listFolder, line.substr(0, tab));
        if (tab != std::string::npos && !parseWait(line.substr(tab + 1), item.wait)) {
            error = listName + _(": line ") + std::to_string(number) + _(": invalid wait byte '") +
                    line.substr(tab + 1) + _("' (0 to 255)");
            return false;
        }
        items.push_back(item);
    }
    if (items.size() == before) {
        error = listName + _(": the list names no inputs");
        return false;
    }
    return true;
}

// Lists are small; a file past this is something else.
constexpr std::uintmax_t kLargestList = std::uintmax_t{16} << 20;

// Text a person wrote: no control characters but tabs and line ends.
bool isPlainText(const std::string& text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F;
    });
}

}  // namespace

bool isLoneList(const std::string& path, InputKind* kind) {
    std::error_code code;
    const std::filesystem::path file = toolplatform::pathOf(path);
    const std::uintmax_t size = std::filesystem::file_size(file, code);
    if (code || size == 0 || size > kLargestList || !std::filesystem::is_regular_file(file, code)) {
        return false;
    }
    // What the file is decides first: a stream, an image libvips reads itself (ImageMagick would draw a
    // text file as a picture of its text) or a video stays what it is.
    FileHead head;
    std::string reason;
    if (!readFileHead(path, head, reason)) {
        return false;
    }
    const InputKind found = kindOf(path, head);
    if (kind != nullptr) {
        *kind = found;
    }
    if (found != InputKind::unknown && found != InputKind::image) {
        return false;
    }
    std::string bytes(reinterpret_cast<const char*>(head.bytes()), head.size);
    if (head.size == kHeadBytes) {
        countInputOpen();
        const std::unique_ptr<std::FILE, int (*)(std::FILE*)> opened(toolplatform::openFile(path, "rb"),
                                                                     &std::fclose);
        if (opened == nullptr || !toolplatform::readAll(opened.get(), bytes)) {
            return false;
        }
    }
    std::string text;
    if (!listTextAsUtf8(bytes, text, reason) || !isPlainText(text)) {
        return false;
    }
    // A list names inputs: its first name is a file or folder beside it (notes that happen to be text
    // are refused as before, as neither image nor stream).
    const std::filesystem::path folder = file.parent_path();
    const std::vector<std::string> lines = linesOf(text);
    const auto named =
        std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return !line.empty(); });
    if (named == lines.end() ||
        !std::filesystem::exists(
            toolplatform::pathOf(fromListFolder(folder, named->substr(0, named->find('\t')))), code)) {
        return false;
    }
    if (found == InputKind::image) {
        // Only ImageMagick's claim gives way to a list.
        const char* loader = vips_foreign_find_load(toolplatform::libraryName(path).c_str());
        if (loader == nullptr) {
            vips_error_clear();
        } else if (std::strstr(loader, "Magick") == nullptr) {
            return false;
        }
    }
    if (kind != nullptr) {
        *kind = InputKind::unknown;
    }
    return true;
}

void sortNaturally(std::vector<std::string>& names) {
    // Names equal but for case (on a file system that tells them apart) in byte order, for one order still.
#ifdef _WIN32
    std::vector<std::pair<std::wstring, std::string>> keyed;
    for (std::string& name : names) {
        keyed.emplace_back(toolplatform::wideOf(name), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        const int order = StrCmpLogicalW(a.first.c_str(), b.first.c_str());
        return order != 0 ? order < 0 : a.second < b.second;
    });
#else
    // LC_COLLATE is left at C, so the keys order alike in every locale.
    std::vector<std::pair<std::string, std::string>> keyed;
    for (std::string& name : names) {
        const std::unique_ptr<gchar, decltype(&g_free)> key(
            g_utf8_collate_key_for_filename(foldedUtf8(name).c_str(), -1), &g_free);
        keyed.emplace_back(key.get(), std::move(name));
    }
    std::sort(keyed.begin(), keyed.end());
#endif
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = std::move(keyed[i].second);
    }
}

bool listTextAsUtf8(const std::string& bytes, std::string& text, std::string& reason) {
    const auto startsWith = [&](std::string_view mark) {
        return std::string_view(bytes).substr(0, mark.size()) == mark;
    };
    if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        if (!utf8OfUtf16(bytes, bytes[0] == '\xFE', text)) {
            text.clear();
            reason = _("the list is not valid UTF-16");
            return false;
        }
        return true;
    }
    if (startsWith("\xEF\xBB\xBF")) {
        text = bytes.substr(3);
        return true;
    }
    text = isUtf8(bytes) ? bytes : toolplatform::utf8OfAnsi(bytes);
    return true;
}

std::string streamNameBeside(const std::string& input, bool isFolder) {
    std::string name = input;
    while (name.size() > 1 && (name.back() == '/' || name.back() == '\\') && name[name.size() - 2] != ':') {
        name.pop_back();
    }
    const std::size_t base = name.find_last_of("/\\:");
    const std::size_t dot = name.rfind('.');
    const bool extension =
        !isFolder && dot != std::string::npos && dot > (base == std::string::npos ? 0 : base + 1);
    return (extension ? name.substr(0, dot) : name) + ".bin";
}

bool wildcardMatches(const std::string& pattern, const std::string& name) {
#ifdef _WIN32
    // One pattern: a ';' in it is part of a name, not a separator of patterns as PathMatchSpecW takes it.
    return PathMatchSpecExW(toolplatform::wideOf(name).c_str(), toolplatform::wideOf(pattern).c_str(),
                            PMSF_NORMAL) == S_OK;
#else
    return g_pattern_match_simple(foldedUtf8(pattern).c_str(), foldedUtf8(name).c_str()) != FALSE;
#endif
}

bool expandInputs(const std::vector<std::string>& operands, std::vector<InputItem>& items, std::string& error,
                  bool expandWildcards, std::string* first) {
    for (const std::string& given : operands) {
        const bool pattern = expandWildcards && !given.empty() && given[0] != '@' && hasWildcard(given);
        std::vector<std::string> names;
        if (pattern && !expandWildcard(given, names, error)) {
            return false;
        }
        if (!pattern) {
            names.push_back(given);
        }
        if (first != nullptr && first->empty()) {
            *first = names.front();
        }
        for (const std::string& operand : names) {
            if (!pattern && operand.size() > 1 && operand[0] == '@') {
                if (!readList(operand, items, error)) {
                    return false;
                }
                continue;
            }
            if (toolplatform::isFolder(operand)) {
                if (!expandDirectory(operand, items, error)) {
                    return false;
                }
                continue;
            }
            items.push_back(InputItem{operand, -1});
        }
    }
    return true;
}

}  // namespace animmake::inputs
