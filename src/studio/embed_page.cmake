# Writes OUTPUT, a C++ file holding every file given in FILES (a ;-list) as a byte array, for page_files.h.
set(arrays "")
set(table "")
set(count 0)
foreach(path IN LISTS FILES)
  get_filename_component(name "${path}" NAME)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
  string(APPEND arrays "const std::uint8_t kFile${count}[] = {\n${bytes}0};\n")
  string(APPEND table "    {\"${name}\", kFile${count}, ${size}},\n")
  math(EXPR count "${count} + 1")
endforeach()
file(WRITE "${OUTPUT}.new" "// Made by src/studio/embed_page.cmake from src/studio/page/.
#include \"studio/page_files.h\"

namespace animstudio {
namespace {
${arrays}}  // namespace

const PageFile kPageFiles[] = {
${table}};
const std::size_t kPageFileCount = ${count};

}  // namespace animstudio
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
