# Writes a C++ table of the resources a resource script lists (cmake -DSCRIPT=x.rc -DOUTPUT=y.cpp
# -P EmbedResources.cmake). The table registers itself with the running program's module, so
# linking the generated object is all it takes to give a program the resources.
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/ResourceScript.cmake)

set(entries "")
kavrosa_read_resource_script(${SCRIPT} entries)
get_filename_component(script_name ${SCRIPT} NAME)
set(arrays "")
set(rows "")
set(index 0)
string(REPEAT "[0-9a-f]" 48 line_of_hex)
foreach(entry IN LISTS entries)
  string(REPLACE "|" ";" fields "${entry}")
  list(GET fields 0 id)
  list(GET fields 1 type_number)
  list(GET fields 2 type_name)
  list(GET fields 3 file)
  list(GET fields 4 offset)
  file(SIZE ${file} file_size)
  math(EXPR size "${file_size} - ${offset}")
  if(size LESS 0)
    message(FATAL_ERROR "${file}: shorter than the ${offset}-byte file header")
  endif()
  file(READ ${file} hex OFFSET ${offset} HEX)
  # 24 bytes a line, then each byte as a literal.
  string(REGEX REPLACE "(${line_of_hex})" "\\1\n" bytes "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
  if(size EQUAL 0)
    set(bytes "0")
  endif()
  get_filename_component(file_name ${file} NAME)
  string(APPEND arrays "// ${file_name}\nalignas(4) const uint8_t kBytes${index}[] = {\n${bytes}};\n")
  if(type_name STREQUAL "")
    set(name "nullptr")
  else()
    set(name "\"${type_name}\"")
  endif()
  string(APPEND rows "    {${type_number}, ${name}, ${id}, kBytes${index}, ${size}},\n")
  math(EXPR index "${index} + 1")
endforeach()

if(index EQUAL 0)
  message(FATAL_ERROR "${SCRIPT}: no resources found")
endif()

file(WRITE ${OUTPUT}.tmp "// Generated from ${script_name} by EmbedResources.cmake; do not edit.
#include <cstdint>

#include \"platform/Resources.h\"

namespace kavrosa {
namespace {

${arrays}
const ResourceEntry kTable[] = {
${rows}};

[[maybe_unused]] const bool kRegistered =
    RegisterProgramResources(kTable, sizeof kTable / sizeof kTable[0]);

}  // namespace
}  // namespace kavrosa
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
