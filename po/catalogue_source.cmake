# Writes OUTPUT, a C++ source holding the bytes of the compiled catalogue MO (none when MO is empty).
set(bytes "")
if(MO)
  file(READ ${MO} hex HEX)
  string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(([^,]*,){16})" "\\1\n" bytes "${bytes}")
endif()
file(WRITE ${OUTPUT}.new "// Made by po/catalogue_source.cmake from ${MO}.
#include <cstddef>
#include <cstdint>
extern const std::uint8_t kJapaneseCatalogue[];
extern const std::size_t kJapaneseCatalogueSize;
const std::uint8_t kJapaneseCatalogue[] = {${bytes}0};
const std::size_t kJapaneseCatalogueSize = sizeof kJapaneseCatalogue - 1;
")
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
