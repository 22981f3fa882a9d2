# What `make install` lays out under its prefix, with the manual pages and
# the demo's launchers the install and the release share:
#
#   bin/                the tools, and a launcher for each of the demo's
#                       three executables
#   libexec/orvanta/    the three executables themselves
#   share/orvanta/      the run folder: the demo's data, which the demo reads
#                       from its working folder and the tools by default
#   share/man/man1/     a page for every program in bin/
#   share/doc/orvanta/  the manual, docs/ (its pages and pictures)
#
# scripts/release.sh lays out a release the same way.

set(orvanta_libexec ${CMAKE_INSTALL_LIBEXECDIR}/orvanta)
set(orvanta_data ${CMAKE_INSTALL_DATADIR}/orvanta)
set(orvanta_doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/orvanta)
set(orvanta_tools orvanta-live orvanta-capture orvanta-new synctool tunegen logogen)

# The launchers: the demo's executables start in the data folder, found from
# the launcher's own path, so that a prefix or an unpacked release can be
# moved anywhere.
set(summary_orvanta "Plays Orvanta, a real-time audiovisual demo of 141 seconds, in a 1280x720 window\nswitched to full screen, its scenes drawn at 68% resolution.")
set(summary_orvanta-screen "Plays Orvanta, a real-time audiovisual demo of 141 seconds, on the whole screen at\nfull quality.")
set(summary_orvanta-screen-reduced "Plays Orvanta, a real-time audiovisual demo of 141 seconds, on the whole screen,\nits scenes drawn at 68% resolution (for slower GPUs).")
set(summary_orvanta-play "Plays a demo made with Orvanta in a 1280x720 window switched to full screen.")
set(ORVANTA_LAUNCH_DIR ${CMAKE_BINARY_DIR}/launch)
set(DATA_FROM_BIN ${ORVANTA_DATA_FROM_BIN})
foreach(NAME IN LISTS ORVANTA_EXECUTABLES ITEMS orvanta-play)
  set(SUMMARY "${summary_${NAME}}")
  file(RELATIVE_PATH PROGRAM_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBEXECDIR}/orvanta/${NAME})
  configure_file(${PROJECT_SOURCE_DIR}/data/launcher.sh.in ${CMAKE_BINARY_DIR}/launch-sources/${NAME} @ONLY)
  file(COPY ${CMAKE_BINARY_DIR}/launch-sources/${NAME} DESTINATION ${ORVANTA_LAUNCH_DIR}
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

# The manual pages, made by help2man from each program's own --help (the
# launcher's, for the demo's executables) and data/man/NAME.h2m, which adds
# the one-line summary and the sections a usage text has no room for: the
# pages cannot say other than the programs do.
find_program(ORVANTA_HELP2MAN help2man REQUIRED)
set(ORVANTA_MAN_DIR ${CMAKE_BINARY_DIR}/man/man1)
set(man_pages "")
foreach(name IN LISTS ORVANTA_EXECUTABLES orvanta_tools)
  if(name IN_LIST orvanta_tools)
    set(program $<TARGET_FILE:${name}>)
    set(made_by ${name})
  else()
    set(program ${ORVANTA_LAUNCH_DIR}/${name})
    set(made_by ${program} ${PROJECT_SOURCE_DIR}/data/launcher.sh.in)
  endif()
  set(page ${ORVANTA_MAN_DIR}/${name}.1)
  set(include ${PROJECT_SOURCE_DIR}/data/man/${name}.h2m)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVANTA_MAN_DIR}
    COMMAND ${ORVANTA_HELP2MAN} --no-info --section=1 --manual=Orvanta
            "--version-string=${name} (Orvanta) ${PROJECT_VERSION}" --include=${include} --output=${page}.new ${program}
    COMMAND ${CMAKE_COMMAND} -E rename ${page}.new ${page}
    DEPENDS ${made_by} ${include}
    COMMENT "Manual page: ${name}(1)"
    VERBATIM)
  list(APPEND man_pages ${page})
endforeach()
add_custom_target(orvanta_man_pages ALL DEPENDS ${man_pages})

# What an install copies, a line a file (MODE, the file, where it goes under
# the prefix), for scripts/install.py. `make install` and `cmake --install`
# both run it: it refuses to replace what is not this build's, keeps a
# record of each prefix's install for `make uninstall`, and copies nothing
# unless every folder it goes to can be written.
set(install_lines "")
foreach(name IN LISTS orvanta_tools)
  string(APPEND install_lines "0755\t$<TARGET_FILE:${name}>\t${CMAKE_INSTALL_BINDIR}/${name}\n")
endforeach()
foreach(name IN LISTS ORVANTA_EXECUTABLES)
  string(APPEND install_lines "0755\t$<TARGET_FILE:${name}>\t${orvanta_libexec}/${name}\n")
  string(APPEND install_lines "0755\t${ORVANTA_LAUNCH_DIR}/${name}\t${CMAKE_INSTALL_BINDIR}/${name}\n")
endforeach()
foreach(file IN LISTS ORVANTA_RUN_FILES)
  get_filename_component(name ${file} NAME)
  string(APPEND install_lines "0644\t${file}\t${orvanta_data}/${name}\n")
endforeach()
foreach(page IN LISTS man_pages)
  get_filename_component(name ${page} NAME)
  string(APPEND install_lines "0644\t${page}\t${CMAKE_INSTALL_MANDIR}/man1/${name}\n")
endforeach()
# The manual as the repository has it: its pages link one another and their
# pictures by relative names.
file(GLOB manual_pages ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.jpg ${PROJECT_SOURCE_DIR}/docs/*.png)
foreach(page IN LISTS manual_pages)
  get_filename_component(name ${page} NAME)
  string(APPEND install_lines "0644\t${page}\t${orvanta_doc}/${name}\n")
endforeach()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/install-files.txt CONTENT "${install_lines}")

find_package(Python3 REQUIRED COMPONENTS Interpreter)
install(CODE "set(orvanta_python \"${Python3_EXECUTABLE}\")
set(orvanta_installer \"${PROJECT_SOURCE_DIR}/scripts/install.py\")
set(orvanta_build_dir \"${CMAKE_BINARY_DIR}\")")
install(CODE [[
  execute_process(COMMAND "${orvanta_python}" "${orvanta_installer}" install "${orvanta_build_dir}"
                          --prefix "${CMAKE_INSTALL_PREFIX}" RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "the install stopped (above: why)")
  endif()
]])
