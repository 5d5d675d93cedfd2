# Installs the build into a fresh prefix, as a user's `cmake --install`
# does, and checks what lands there: the program, which runs, and its
# manual page, which renders. Run with -DBUILD_DIR -DPREFIX -DVERSION.
function(fail what)
  message(FATAL_ERROR "${what}")
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
  RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0)
  fail("cmake --install failed: ${log}")
endif()

# The two files and nothing else.
file(GLOB_RECURSE installed RELATIVE "${PREFIX}" "${PREFIX}/*")
list(SORT installed)
if(NOT installed STREQUAL "bin/convert1_1to2_0;share/man/man1/convert1_1to2_0.1")
  fail("installed: ${installed}")
endif()

execute_process(COMMAND "${PREFIX}/bin/convert1_1to2_0" --version
  RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out STREQUAL "convert1_1to2_0 ${VERSION}\n")
  fail("the installed program says \"${out}\" (status ${status})")
endif()

set(page "${PREFIX}/share/man/man1/convert1_1to2_0.1")
file(READ "${page}" text)
if(NOT text MATCHES "^\\.TH CONVERT1_1TO2_0 1 \"[0-9-]+\" \"journal_converter ${VERSION}\"")
  fail("the manual page has no proper header")
endif()
foreach(section NAME SYNOPSIS DESCRIPTION OPTIONS FILES "EXIT STATUS" EXAMPLES RECOVERY)
  if(NOT text MATCHES "\n\\.SH ${section}\n")
    fail("the manual page has no ${section} section")
  endif()
endforeach()
if(text MATCHES "@[A-Z_]+@")
  fail("the manual page has a placeholder left: ${CMAKE_MATCH_0}")
endif()

# Rendered by groff with every warning on, where groff is installed.
find_program(GROFF groff)
if(GROFF)
  execute_process(COMMAND "${GROFF}" -man -Tutf8 -ww -z "${page}"
    RESULT_VARIABLE status ERROR_VARIABLE warnings)
  if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
    fail("groff finds fault with the manual page: ${warnings}")
  endif()
endif()
file(REMOVE_RECURSE "${PREFIX}")
