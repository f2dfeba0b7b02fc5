# Reads the resources a Win32 resource script lists, so that builds without a resource compiler
# can carry the same bytes. Only the one-line form `ID TYPE "file"` is taken, following
# `#include "other.rc"`; the windres semantics that matter are kept: a BITMAP resource is the
# .bmp file without its 14-byte file header, any other type holds the file's bytes unchanged.

# Types that this reader does not carry (they are Windows-only: icons, dialogs, ...).
set(KAVROSA_SKIPPED_RESOURCE_TYPES ICON CURSOR FONT MESSAGETABLE MANIFEST RT_MANIFEST HTML DIALOG DIALOGEX
    MENU STRINGTABLE VERSIONINFO ACCELERATORS)

# Appends "id|typeNumber|typeName|file|offset" for each resource of `script` to `out_var`.
function(kavrosa_read_resource_script script out_var)
  get_filename_component(dir ${script} DIRECTORY)
  set(entries ${${out_var}})
  file(STRINGS ${script} lines)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "//.*$" "" line "${line}")
    if(line MATCHES "^[ \t]*#include[ \t]+\"([^\"]+)\"")
      kavrosa_read_resource_script(${dir}/${CMAKE_MATCH_1} entries)
    elseif(line MATCHES "^[ \t]*([0-9]+)[ \t]+([A-Za-z_][A-Za-z0-9_]*)[ \t]+\"([^\"]+)\"[ \t]*$")
      set(id ${CMAKE_MATCH_1})
      set(type ${CMAKE_MATCH_2})
      set(file ${dir}/${CMAKE_MATCH_3})
      string(TOUPPER ${type} upper)
      if(upper STREQUAL "BITMAP")
        list(APPEND entries "${id}|2||${file}|14")
      elseif(upper STREQUAL "RCDATA")
        list(APPEND entries "${id}|10||${file}|0")
      elseif(NOT upper IN_LIST KAVROSA_SKIPPED_RESOURCE_TYPES)
        list(APPEND entries "${id}|0|${type}|${file}|0")
      endif()
    endif()
  endforeach()
  set(${out_var} ${entries} PARENT_SCOPE)
endfunction()

# The files `script` names, for build dependencies.
function(kavrosa_resource_script_files script out_var)
  set(entries "")
  kavrosa_read_resource_script(${script} entries)
  set(files ${script})
  foreach(entry IN LISTS entries)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 3 file)
    list(APPEND files ${file})
  endforeach()
  set(${out_var} ${files} PARENT_SCOPE)
endfunction()
