#include "make/inputs/input_list.h"

#include <vips/vips.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>
#include <vector>

#include "make/inputs/frame_source.h"
#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animmake::inputs {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

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
    std::sort(frames.begin(), frames.end(),
              [](const Frame& a, const Frame& b) { return naturalLess(a.name, b.name); });
    for (const Frame& frame : frames) {
        items.push_back(
            InputItem{toolplatform::utf8Of(folderPath / toolplatform::pathOf(frame.name)), -1, frame.kind});
    }
    return true;
}

// The code points of UTF-8 text; a byte that does not decode stands for itself.
std::vector<char32_t> codePointsOf(const std::string& text) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        char32_t point = length == 1   ? lead
                         : length == 2 ? lead & 0x1FU
                         : length == 3 ? lead & 0x0FU
                                       : lead & 0x07U;
        bool whole = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3FU);
        }
        points.push_back(whole ? point : lead);
        i += whole ? length : 1;
    }
    return points;
}

bool validUtf8(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                                   : lead >= 0xE0 && lead <= 0xEF ? 3
                                   : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                  : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        std::uint32_t point = lead & (0x7FU >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            point = (point << 6) | (next & 0x3FU);
        }
        const std::uint32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

void appendUtf8(char32_t point, std::string& text) {
    if (point < 0x80) {
        text += static_cast<char>(point);
    } else if (point < 0x800) {
        text += static_cast<char>(0xC0 | (point >> 6));
        text += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        text += static_cast<char>(0xE0 | (point >> 12));
        text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (point >> 18));
        text += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (point & 0x3F));
    }
}

// UTF-16 after its byte order mark: false for an odd byte count or a lone surrogate.
bool utf8OfUtf16(const std::string& bytes, bool bigEndian, std::string& text) {
    if (bytes.size() % 2 != 0) {
        return false;
    }
    const auto unitAt = [&](std::size_t at) {
        const auto first = static_cast<unsigned char>(bytes[at]);
        const auto second = static_cast<unsigned char>(bytes[at + 1]);
        return static_cast<char32_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    };
    for (std::size_t at = 2; at < bytes.size(); at += 2) {
        char32_t unit = unitAt(at);
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (at + 2 >= bytes.size()) {
                return false;
            }
            const char32_t low = unitAt(at + 2);
            if (low < 0xDC00 || low > 0xDFFF) {
                return false;
            }
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            at += 2;
        }
        appendUtf8(unit, text);
    }
    return true;
}

char32_t foldedAscii(char32_t point) {
    return point >= U'a' && point <= U'z' ? point - (U'a' - U'A') : point;
}

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
    std::sort(names.begin(), names.end(), naturalLess);
    for (const std::string& name : names) {
        matches.push_back(folder + name);
    }
    return true;
}

bool parseWait(const std::string& text, int& wait) {
    if (text.empty() || text.size() > 3) {
        return false;
    }
    int value = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    wait = value;
    return value <= 255;
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

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t aStart = i;
            std::size_t bStart = j;
            while (aStart < a.size() && a[aStart] == '0') {
                ++aStart;
            }
            while (bStart < b.size() && b[bStart] == '0') {
                ++bStart;
            }
            std::size_t aEnd = aStart;
            std::size_t bEnd = bStart;
            while (aEnd < a.size() && isDigit(a[aEnd])) {
                ++aEnd;
            }
            while (bEnd < b.size() && isDigit(b[bEnd])) {
                ++bEnd;
            }
            if (aEnd - aStart != bEnd - bStart) {
                return aEnd - aStart < bEnd - bStart;
            }
            const int order = a.compare(aStart, aEnd - aStart, b, bStart, bEnd - bStart);
            if (order != 0) {
                return order < 0;
            }
            i = aEnd;
            j = bEnd;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j) {
        return a.size() - i < b.size() - j;
    }
    return a < b;  // equal but for leading zeros: a fixed order still
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
    text = validUtf8(bytes) ? bytes : toolplatform::utf8OfAnsi(bytes);
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
    const std::vector<char32_t> p = codePointsOf(pattern);
    const std::vector<char32_t> n = codePointsOf(name);
    // The last `*` seen and the name's place when it was met: a mismatch retries with the star taking one
    // more character.
    std::size_t i = 0;
    std::size_t j = 0;
    std::size_t star = std::string::npos;
    std::size_t resume = 0;
    while (j < n.size()) {
        if (i < p.size() && p[i] == U'*') {
            star = i++;
            resume = j;
        } else if (i < p.size() && (p[i] == U'?' || foldedAscii(p[i]) == foldedAscii(n[j]))) {
            ++i;
            ++j;
        } else if (star != std::string::npos) {
            i = star + 1;
            j = ++resume;
        } else {
            return false;
        }
    }
    while (i < p.size() && p[i] == U'*') {
        ++i;
    }
    return i == p.size();
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
