// The language of animmake's and animdump's messages: the user's (Linux: the locale, LANGUAGE,
// LC_ALL, LC_MESSAGES, LANG; Windows: the user's interface language), English where there is no
// translation. The translations are po/*.po, compiled by msgfmt when the tools are built.
#pragma once

#include <cstddef>
#include <cstdint>

namespace toolkit {

// Chooses the language; called once at the start of main, before any message.
void startTranslation();

// The message in the chosen language, or `english` itself.
const char* translated(const char* english);

// A compiled catalogue (msgfmt's .mo format) held in memory: the Windows programs carry theirs inside.
class MessageCatalogue {
  public:
    // An empty catalogue when the bytes are not a whole, well-formed .mo file.
    MessageCatalogue(const std::uint8_t* bytes, std::size_t size);
    bool empty() const { return count_ == 0; }
    // The translation of `message`, or nullptr when the catalogue has none.
    const char* find(const char* message) const;

  private:
    std::uint32_t word(std::uint64_t offset) const;
    const char* text(std::uint64_t table, std::uint32_t index) const;
    const std::uint8_t* bytes_ = nullptr;
    bool swapped_ = false;
    std::uint32_t count_ = 0;
    std::uint32_t originals_ = 0;
    std::uint32_t translations_ = 0;
};

}  // namespace toolkit

// Marks a message for xgettext (po/animconv.pot) and translates it where it is shown.
#define _(text) ::toolkit::translated(text)
// Marks a message that is translated later, where it is shown (the option table's help rows).
#define N_(text) text
