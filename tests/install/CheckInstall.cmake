# Installs the build into a fresh prefix, as a user's `cmake --install` does,
# and checks what lands there: the program, stripped, which runs; its manual
# page, gzipped, which renders without a warning; the terms of what it is
# made of. Run with -DBUILD_DIR -DPREFIX -DVERSION.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE status OUTPUT_QUIET)
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
string(CONCAT expected "bin/convert1_1to2_0;share/doc/journal-converter/changelog.gz;"
  "share/doc/journal-converter/copyright;share/man/man1/convert1_1to2_0.1.gz")
if(NOT status EQUAL 0 OR NOT installed STREQUAL expected)
  message(FATAL_ERROR "cmake --install gave status ${status} and installed: ${installed}")
endif()

execute_process(COMMAND "${PREFIX}/bin/convert1_1to2_0" --version OUTPUT_VARIABLE out)
find_program(READELF readelf)
if(READELF)
  execute_process(COMMAND "${READELF}" -S "${PREFIX}/bin/convert1_1to2_0" OUTPUT_VARIABLE sections)
  if(sections MATCHES "\\.symtab|\\.debug_")
    message(FATAL_ERROR "the installed program is not stripped")
  endif()
endif()
file(READ "${PREFIX}/share/doc/journal-converter/copyright" terms)
if(NOT terms MATCHES "No licence has been chosen" OR NOT terms MATCHES "libxml2"
   OR NOT terms MATCHES "OpenSSL")
  message(FATAL_ERROR "the copyright file does not give the terms of what the program links")
endif()

# The page as man reads it, unpacked.
set(page "${PREFIX}/convert1_1to2_0.1")
execute_process(COMMAND gzip -dc "${PREFIX}/share/man/man1/convert1_1to2_0.1.gz"
  OUTPUT_FILE "${page}" RESULT_VARIABLE unpacked)
if(NOT unpacked EQUAL 0)
  message(FATAL_ERROR "the manual page is not gzipped")
endif()
file(READ "${page}" text)
if(NOT out STREQUAL "convert1_1to2_0 ${VERSION}\n"
   OR NOT text MATCHES "^\\.TH CONVERT1_1TO2_0 1 \"[0-9-]+\" \"journal_converter ${VERSION}\""
   OR text MATCHES "@[A-Z_]+@")
  message(FATAL_ERROR "wrong version or header: \"${out}\"")
endif()
foreach(section NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" EXAMPLES RECOVERY)
  if(NOT text MATCHES "\n\\.SH ${section}\n")
    message(FATAL_ERROR "the manual page has no ${section} section")
  endif()
endforeach()

find_program(GROFF groff)
if(GROFF)
  execute_process(COMMAND "${GROFF}" -man -Tutf8 -ww -z "${page}" ERROR_VARIABLE warnings)
  if(NOT warnings STREQUAL "")
    message(FATAL_ERROR "groff finds fault with the manual page: ${warnings}")
  endif()
endif()
file(REMOVE_RECURSE "${PREFIX}")
