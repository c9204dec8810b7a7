#include <cstring>

#include "toolkit/translation.h"

namespace toolkit {
namespace {

constexpr std::uint32_t kMagic = 0x950412de;
constexpr std::uint32_t kMagicSwapped = 0xde120495;
constexpr std::uint64_t kHeaderBytes = 20;  // magic, revision, count, both tables' offsets

std::uint32_t littleEndianWord(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint32_t swappedWord(std::uint32_t value) {
    return (value >> 24) | ((value >> 8) & 0xff00) | ((value << 8) & 0xff0000) | (value << 24);
}

}  // namespace

std::uint32_t MessageCatalogue::word(std::uint64_t offset) const {
    const std::uint32_t value = littleEndianWord(bytes_ + offset);
    return swapped_ ? swappedWord(value) : value;
}

// Every string's length and offset were checked in the constructor: inside the bytes, NUL after it.
const char* MessageCatalogue::text(std::uint64_t table, std::uint32_t index) const {
    return reinterpret_cast<const char*>(bytes_ + word(table + 8ULL * index + 4));
}

MessageCatalogue::MessageCatalogue(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr || size < kHeaderBytes) {
        return;
    }
    bytes_ = bytes;
    const std::uint32_t magic = littleEndianWord(bytes);
    if (magic != kMagic && magic != kMagicSwapped) {
        return;
    }
    swapped_ = magic == kMagicSwapped;
    const std::uint64_t count = word(8);
    const std::uint64_t originals = word(12);
    const std::uint64_t translations = word(16);
    if (originals + 8 * count > size || translations + 8 * count > size) {
        return;
    }
    for (std::uint64_t i = 0; i < 2 * count; ++i) {
        const std::uint64_t entry = (i < count ? originals : translations) + 8 * (i % count);
        const std::uint64_t length = word(entry);
        const std::uint64_t offset = word(entry + 4);
        if (offset + length >= size || bytes[offset + length] != 0) {
            return;
        }
    }
    count_ = static_cast<std::uint32_t>(count);
    originals_ = static_cast<std::uint32_t>(originals);
    translations_ = static_cast<std::uint32_t>(translations);
}

const char* MessageCatalogue::find(const char* message) const {
    // msgfmt sorts the originals by their bytes.
    std::uint32_t low = 0;
    std::uint32_t high = count_;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        const int order = std::strcmp(message, text(originals_, middle));
        if (order == 0) {
            const char* const translation = text(translations_, middle);
            return *message != '\0' && *translation != '\0' ? translation : nullptr;
        }
        if (order < 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return nullptr;
}

}  // namespace toolkit
