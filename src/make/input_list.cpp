#include "make/input_list.h"

#include <vips/vips.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "platform/tool_platform.h"

namespace animmake {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool endsWithBmp(const std::string& name) {
    if (name.size() < 4) {
        return false;
    }
    std::string suffix = name.substr(name.size() - 4);
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return suffix == ".bmp";
}

// A directory's image files: regular files, not hidden, that libvips recognises by their first bytes (BMP
// files also by name, since animmake decodes them itself when libvips has no BMP loader).
bool expandDirectory(const std::string& folder, std::vector<InputItem>& items, std::string& error) {
    std::vector<std::string> names;
    std::error_code code;
    for (const auto& entry : std::filesystem::directory_iterator(toolplatform::pathOf(folder), code)) {
        const std::string name = toolplatform::utf8Of(entry.path().filename());
        std::error_code kindCode;
        if (name.empty() || name[0] == '.' || !entry.is_regular_file(kindCode)) {
            continue;
        }
        const std::string path = toolplatform::utf8Of(entry.path());
        if (endsWithBmp(name) || vips_foreign_find_load(path.c_str()) != nullptr) {
            names.push_back(name);
        } else {
            vips_error_clear();
        }
    }
    if (code) {
        error = folder + ": cannot read the directory: " + code.message();
        return false;
    }
    if (names.empty()) {
        error = folder + ": no image files in the directory";
        return false;
    }
    std::sort(names.begin(), names.end(), naturalLess);
    // Joined with the system's separator: dir/f1.png here, dir\f1.png on Windows.
    const std::filesystem::path folderPath = toolplatform::pathOf(folder);
    for (const std::string& name : names) {
        items.push_back(InputItem{toolplatform::utf8Of(folderPath / toolplatform::pathOf(name)), -1});
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

bool readList(const std::string& operand, std::vector<InputItem>& items, std::string& error) {
    const std::string listName = operand.substr(1);
    std::ifstream file;
    std::istream* in = &std::cin;
    if (listName != "-") {
        file.open(toolplatform::pathOf(listName), std::ios::binary);
        if (!file) {
            error = listName + ": cannot read the list: " + std::strerror(errno);
            return false;
        }
        in = &file;
    }
    const std::size_t before = items.size();
    std::string line;
    std::size_t number = 0;
    while (std::getline(*in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        InputItem item;
        const std::size_t tab = line.find('\t');
        item.path = line.substr(0, tab);
        if (tab != std::string::npos && !parseWait(line.substr(tab + 1), item.wait)) {
            error = listName + ": line " + std::to_string(number) + ": invalid wait byte '" +
                    line.substr(tab + 1) + "' (0 to 255)";
            return false;
        }
        items.push_back(item);
    }
    if (in->bad()) {
        error = listName + ": cannot read the list";
        return false;
    }
    if (items.size() == before) {
        error = listName + ": the list names no inputs";
        return false;
    }
    return true;
}

}  // namespace

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

bool expandInputs(const std::vector<std::string>& operands, std::vector<InputItem>& items,
                  std::string& error) {
    for (const std::string& operand : operands) {
        if (operand.size() > 1 && operand[0] == '@') {
            if (!readList(operand, items, error)) {
                return false;
            }
            continue;
        }
        std::error_code code;
        if (std::filesystem::is_directory(toolplatform::pathOf(operand), code)) {
            if (!expandDirectory(operand, items, error)) {
                return false;
            }
            continue;
        }
        items.push_back(InputItem{operand, -1});
    }
    return true;
}

}  // namespace animmake
