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

# Nothing is copied unless every folder it goes to can be written: found
# out before the first file, not half-way through. The folders it makes are
# noted beside the install manifest, so that `make uninstall` removes them
# again, and only them. Every rule is of one component, orvanta, so that an
# install of it alone (the tests') keeps a manifest of its own.
install(CODE "set(orvanta_install_dirs \"${CMAKE_INSTALL_BINDIR};${orvanta_libexec};${orvanta_data};${CMAKE_INSTALL_MANDIR}/man1;${orvanta_doc}\")
set(orvanta_build_dir \"${CMAKE_BINARY_DIR}\")" COMPONENT orvanta)
install(CODE [[
  # Named as CMake names the manifest: a component's install has its own.
  if(CMAKE_INSTALL_COMPONENT)
    set(orvanta_made_record "${orvanta_build_dir}/install_folders_${CMAKE_INSTALL_COMPONENT}.txt")
  else()
    set(orvanta_made_record "${orvanta_build_dir}/install_folders.txt")
  endif()
  set(made "")
  if(EXISTS "${orvanta_made_record}")
    file(STRINGS "${orvanta_made_record}" made)
    list(FILTER made EXCLUDE REGEX "^destdir=")
  endif()
  foreach(dir IN LISTS orvanta_install_dirs)
    if(IS_ABSOLUTE "${dir}")
      set(probe "$ENV{DESTDIR}${dir}")
    else()
      set(probe "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${dir}")
    endif()
    # The folder itself where it is there, else the nearest one above it,
    # in which it would be made.
    while(NOT EXISTS "${probe}" AND NOT IS_SYMLINK "${probe}")
      list(APPEND made "${probe}")
      get_filename_component(probe "${probe}" DIRECTORY)
    endwhile()
    execute_process(COMMAND test -d "${probe}" -a -w "${probe}" RESULT_VARIABLE unwritable)
    if(unwritable)
      message(FATAL_ERROR "cannot install into $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}: ${probe} is not a folder this user "
                          "may write to. Nothing was installed; name a prefix of your own (make install "
                          "PREFIX=~/.local) or install as a user who may write there.")
    endif()
  endforeach()
  # The manifest names files without DESTDIR: the record keeps it, for the
  # uninstall to remove the staged files and never the system's.
  list(REMOVE_DUPLICATES made)
  string(REPLACE ";" "\n" made "${made}")
  file(WRITE "${orvanta_made_record}" "destdir=$ENV{DESTDIR}\n${made}\n")
]] COMPONENT orvanta)

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

install(TARGETS ${orvanta_tools} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT orvanta)
install(TARGETS ${ORVANTA_EXECUTABLES} RUNTIME DESTINATION ${orvanta_libexec} COMPONENT orvanta)
foreach(name IN LISTS ORVANTA_EXECUTABLES)
  install(PROGRAMS ${ORVANTA_LAUNCH_DIR}/${name} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT orvanta)
endforeach()
install(FILES ${ORVANTA_RUN_FILES} DESTINATION ${orvanta_data} COMPONENT orvanta)
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT orvanta)
# The manual as the repository has it: its pages link one another and their
# pictures by relative names.
file(GLOB manual_pages ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.jpg ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${manual_pages} DESTINATION ${orvanta_doc} COMPONENT orvanta)
