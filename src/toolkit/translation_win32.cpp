#include <windows.h>

#include "toolkit/translation.h"

// po/ja.po compiled into the program at build time (catalogue_source.cmake).
extern const std::uint8_t kJapaneseCatalogue[];
extern const std::size_t kJapaneseCatalogueSize;

namespace toolkit {
namespace {

const MessageCatalogue* chosen = nullptr;

}  // namespace

void startTranslation() {
    static const MessageCatalogue japanese(kJapaneseCatalogue, kJapaneseCatalogueSize);
    chosen = PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? &japanese : nullptr;
}

const char* translated(const char* english) {
    const char* const translation = chosen != nullptr ? chosen->find(english) : nullptr;
    return translation != nullptr ? translation : english;
}

}  // namespace toolkit
