# Builds the .deb with CPack and checks its dependencies and contents.
# cmake -DBUILD_DIR=... -DWORK_DIR=... -P deb_package.cmake
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR}
                WORKING_DIRECTORY ${WORK_DIR} RESULT_VARIABLE rc OUTPUT_VARIABLE out
                ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack failed:\n${out}")
endif()
file(GLOB debs ${WORK_DIR}/*.deb)
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb, found: ${debs}")
endif()
execute_process(COMMAND dpkg-deb -f ${debs} Package Depends Recommends OUTPUT_VARIABLE fields)
message(STATUS "${fields}")
# Computed from the program's libraries, plus the platform plug-ins and the
# preview engine's helper process, and the spelling library and a dictionary.
foreach(dep "libqt6widgets6" "libqt6gui6" "libqt6core6" "libc6" "libstdc++6" "qt6-qpa-plugins"
            "fonts-liberation2" "libqt6webenginewidgets6" "libqt6webenginecore6-bin"
            "libhunspell" "hunspell-en-us | hunspell-dictionary" "default-jre-headless")
  string(FIND "${fields}" "${dep}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the package does not name ${dep}:\n${fields}")
  endif()
endforeach()
execute_process(COMMAND dpkg-deb -c ${debs} OUTPUT_VARIABLE listing)
foreach(path "./usr/bin/tagloom-html" "./usr/lib/tagloom-html/libtagloom-preview.so"
             "./usr/share/applications/org.tagloom.TagloomHTML.desktop"
             "./usr/share/tagloom-html/help/tagloom-help.html"
             "./usr/share/tagloom-html/vnu.jar"
             "./usr/share/icons/hicolor/scalable/apps/org.tagloom.TagloomHTML.svg")
  string(FIND "${listing}" "${path}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the package lacks ${path}:\n${listing}")
  endif()
endforeach()
