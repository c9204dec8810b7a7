#include "make/inputs/file_head.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "toolkit/tool_platform.h"
#include "toolkit/translation.h"

namespace animmake::inputs {
namespace {

std::atomic<std::size_t> opens{0};

}  // namespace

void countInputOpen() {
    opens.fetch_add(1, std::memory_order_relaxed);
}

std::size_t inputOpens() {
    return opens.load(std::memory_order_relaxed);
}

bool readFileHead(const std::string& path, FileHead& head, std::string& reason) {
    // Through the tools' file layer (UTF-8 names, read with others), not animconv's readInput, whose layer
    // is animconv's own (names in the ANSI code page and no sharing on Windows).
    if (toolplatform::isFolder(path)) {
        reason = _("is a directory");
        return false;
    }
    countInputOpen();
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(toolplatform::openFile(path, "rb"),
                                                               &std::fclose);
    if (file == nullptr) {
        reason = std::string(_("cannot open: ")) + std::strerror(errno);
        return false;
    }
    std::uint8_t* bytes = head.buffer->bytes;
    head.size = std::fread(bytes, 1, kHeadBytes, file.get());
    if (std::ferror(file.get()) != 0) {
        reason = std::string(_("cannot read: ")) + std::strerror(errno);
        return false;
    }
    if (head.size == 0) {
        reason = _("the file is empty");
        return false;
    }
    std::memset(bytes + head.size, 0, kHeadBytes - head.size);
    return true;
}

}  // namespace animmake::inputs
