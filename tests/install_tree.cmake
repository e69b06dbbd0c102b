# Installs the build into a fresh prefix and checks what a desktop needs is
# there and valid: program, help, default settings, icons (each PNG of its
# stated size), menu entry and software-centre metadata.
# cmake -DBUILD_DIR=... -DWORK_DIR=... -P install_tree.cmake
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

set(id org.tagloom.TagloomHTML)
set(expected
  bin/tagloom-html
  lib/tagloom-html/libtagloom-preview.so
  share/applications/${id}.desktop
  share/icons/hicolor/128x128/apps/${id}.png
  share/icons/hicolor/16x16/apps/${id}.png
  share/icons/hicolor/256x256/apps/${id}.png
  share/icons/hicolor/32x32/apps/${id}.png
  share/icons/hicolor/48x48/apps/${id}.png
  share/icons/hicolor/64x64/apps/${id}.png
  share/icons/hicolor/scalable/apps/${id}.svg
  share/metainfo/${id}.metainfo.xml
  share/tagloom-html/help/tagloom-help.html
  share/tagloom-html/vezezu.ini
  share/tagloom-html/vnu.jar
  share/tagloom-html/vnu.jar.LICENSE)
file(GLOB_RECURSE installed RELATIVE ${prefix} ${prefix}/*)
list(SORT installed)
if(NOT installed STREQUAL expected)
  string(REPLACE ";" "\n  " got "${installed}")
  string(REPLACE ";" "\n  " want "${expected}")
  message(FATAL_ERROR "installed files differ\ngot:\n  ${got}\nexpected:\n  ${want}")
endif()

# The preview's engine is loaded with its module when first shown: linked
# into the program, its libraries cost memory at every start.
execute_process(COMMAND readelf -d ${prefix}/bin/tagloom-html OUTPUT_VARIABLE dynamic)
if(dynamic MATCHES "WebEngine")
  message(FATAL_ERROR "the program links Qt WebEngine itself:\n${dynamic}")
endif()

foreach(size 16 32 48 64 128 256)
  # PNG width and height: big-endian at bytes 16 and 20.
  file(READ ${prefix}/share/icons/hicolor/${size}x${size}/apps/${id}.png head
       OFFSET 16 LIMIT 8 HEX)
  math(EXPR want_hex "${size}" OUTPUT_FORMAT HEXADECIMAL)
  string(SUBSTRING "${want_hex}" 2 -1 digits)
  string(LENGTH "${digits}" len)
  math(EXPR pad "8 - ${len}")
  string(REPEAT "0" ${pad} zeros)
  if(NOT head STREQUAL "${zeros}${digits}${zeros}${digits}")
    message(FATAL_ERROR "${size}x${size} icon has the wrong size: ${head}")
  endif()
endforeach()

foreach(check
    "desktop-file-validate;${prefix}/share/applications/${id}.desktop"
    "appstreamcli;validate;--no-net;${prefix}/share/metainfo/${id}.metainfo.xml")
  list(GET check 0 tool)
  find_program(found ${tool})
  if(NOT found)
    message(FATAL_ERROR "${tool} is missing (./deps.sh installs it)")
  endif()
  unset(found CACHE)
  execute_process(COMMAND ${check} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${tool} failed:\n${out}")
  endif()
  message(STATUS "${tool}: ok ${out}")
endforeach()

file(READ ${prefix}/share/applications/${id}.desktop entry)
foreach(line "Name=Tagloom HTML" "Exec=tagloom-html %F" "MimeType=text/html;" "Icon=${id}")
  string(FIND "${entry}" "${line}\n" at)
  if(at LESS 0)
    message(FATAL_ERROR "the menu entry lacks '${line}'")
  endif()
endforeach()
