# Run by cpack once it has staged the installed files (CPACK_PRE_BUILD_SCRIPTS).
# A Debian package carries more than cmake --install puts in a prefix: the
# licence as /usr/share/doc/<package>/copyright, the Debian changelog of
# packaging/changelog, both under the package's documentation, and manual
# pages compressed with gzip -9n (without a time stamp, so that two builds
# of the same tree give the same bytes).
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(prefix "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
set(docdir "${prefix}/${CPACK_LUMICORD_DOCDIR}")
set(mandir "${prefix}/${CPACK_LUMICORD_MANDIR}")

if(NOT CPACK_LUMICORD_GZIP)
  message(FATAL_ERROR "gzip was not found when the build was configured; the Debian package needs it")
endif()

function(gzip_into input output)
  execute_process(COMMAND "${CPACK_LUMICORD_GZIP}" -9n -c "${input}"
    OUTPUT_FILE "${output}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${input}: exit status ${status}")
  endif()
endfunction()

# Manual pages.
file(GLOB pages "${mandir}/man[1-9]/*.[1-9]")
if(NOT pages)
  message(FATAL_ERROR "no manual pages were staged under ${mandir}")
endif()
foreach(page IN LISTS pages)
  gzip_into("${page}" "${page}.gz")
  file(REMOVE "${page}")
endforeach()

# The changelog: its newest entry must be this version, or the package
# would describe another release than the one it holds.
set(changelog "${CPACK_LUMICORD_SOURCE_DIR}/packaging/changelog")
file(READ "${changelog}" head LIMIT 256)
string(REGEX MATCH "^[^\n]*" newest "${head}")
set(version "${CPACK_PACKAGE_VERSION}")
if(CPACK_DEBIAN_PACKAGE_RELEASE)
  string(APPEND version "-${CPACK_DEBIAN_PACKAGE_RELEASE}")
endif()
if(NOT newest MATCHES "^${CPACK_PACKAGE_NAME} \\(([^)]*)\\) " OR NOT CMAKE_MATCH_1 STREQUAL version)
  message(FATAL_ERROR "the newest entry of ${changelog} is not for version ${version}: \"${newest}\"; "
    "add an entry for it")
endif()
# A package whose version has no Debian revision is native: its changelog
# is changelog.gz, otherwise changelog.Debian.gz.
if(CPACK_DEBIAN_PACKAGE_RELEASE)
  gzip_into("${changelog}" "${docdir}/changelog.Debian.gz")
else()
  gzip_into("${changelog}" "${docdir}/changelog.gz")
endif()

# The copyright file, in Debian's machine-readable format, made from
# LICENSE: its copyright line and, indented, the permission text below it.
file(READ "${CPACK_LUMICORD_SOURCE_DIR}/LICENSE" licence)
if(NOT licence MATCHES "\nCopyright \\(c\\) ([^\n]*)\n\n(.*)$")
  message(FATAL_ERROR "LICENSE has no line \"Copyright (c) <year> <holder>\" followed by the licence text")
endif()
set(holder "${CMAKE_MATCH_1}")
string(STRIP "${CMAKE_MATCH_2}" terms)
string(REGEX REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REGEX REPLACE "\n" "\n " terms "${terms}")
file(WRITE "${docdir}/copyright"
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: ${CPACK_PACKAGE_NAME}\n"
  "Upstream-Contact: ${CPACK_PACKAGE_CONTACT}\n"
  "Source: ${CPACK_PACKAGE_HOMEPAGE_URL}\n"
  "\n"
  "Files: *\n"
  "Copyright: ${holder}\n"
  "License: Expat\n"
  " ${terms}\n")
# The same text under its own name would be a second licence file.
file(REMOVE "${docdir}/LICENSE")
