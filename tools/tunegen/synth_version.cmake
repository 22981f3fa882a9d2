# Writes synth_version.h: ORVANTA_SYNTH_VERSION, a hash of the
# synthesizer's sources (every file in tools/tunegen), which tunegen records
# in the tunes it renders. Rewritten only when it changes.
#
#   cmake -DSOURCE_DIR=tools/tunegen -DOUTPUT=synth_version.h -P synth_version.cmake
file(GLOB sources "${SOURCE_DIR}/*.cpp" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cmake")
list(SORT sources)
set(hashes "")
foreach(source IN LISTS sources)
  file(SHA256 "${source}" hash)
  get_filename_component(name "${source}" NAME)
  string(APPEND hashes "${name} ${hash}\n")
endforeach()
string(SHA256 version "${hashes}")
string(SUBSTRING "${version}" 0 16 version)
file(WRITE "${OUTPUT}.new" "#pragma once\n#define ORVANTA_SYNTH_VERSION \"${version}\"\n")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
