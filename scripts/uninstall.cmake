# Removes what `make install` from this build installed: the files its
# install manifest lists, and the folders the install made (noted in
# install_folders.txt beside install_manifest.txt) once they are empty. Folders
# that were there before, such as a bin/ holding others' programs, stay.
#
#   cmake -DMANIFEST=build/install_manifest.txt -P scripts/uninstall.cmake
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "nothing to uninstall: ${MANIFEST} is missing (make install writes it)")
endif()
string(REGEX REPLACE "install_manifest([^/]*)$" "install_folders\\1" record "${MANIFEST}")
set(folders "")
if(EXISTS "${record}")
  file(STRINGS "${record}" folders)
endif()
# An install staged under DESTDIR is removed from there: the manifest
# names its files as they will be once the stage is the system.
set(destdir "")
foreach(line IN LISTS folders)
  if(line MATCHES "^destdir=(.*)$")
    set(destdir "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(FILTER folders INCLUDE REGEX "^/")
file(STRINGS "${MANIFEST}" installed)
set(removed 0)
foreach(file IN LISTS installed)
  set(file "${destdir}${file}")
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    if(IS_DIRECTORY "${file}" AND NOT IS_SYMLINK "${file}")
      message(WARNING "${file} is a folder now; left as it is")
      continue()
    endif()
    file(REMOVE "${file}")
    math(EXPR removed "${removed} + 1")
  endif()
endforeach()
# Deepest first: rmdir removes a folder only when it is empty.
list(SORT folders)
list(REVERSE folders)
foreach(folder IN LISTS folders)
  execute_process(COMMAND rmdir "${folder}" ERROR_QUIET)
endforeach()
file(REMOVE "${MANIFEST}" "${record}")
message(STATUS "Removed ${removed} files")
