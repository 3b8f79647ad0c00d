# What a Debian system and its software centres expect beside the programs, installed by
# `make install` and the package alike (prefix /usr/local, or /usr in the package):
#   share/man/man1/thumbrover.1.gz, thumbroverctl.1.gz  made by help2man from the built programs'
#                                    --help and --version and from packaging/man/*.h2m
#   share/doc/thumbrover/copyright   Debian's machine-readable copyright file
#   share/doc/thumbrover/changelog.gz                   CHANGELOG.md in Debian's changelog form
#   share/metainfo/app.thumbrover.Thumbrover.metainfo.xml  AppStream, with CHANGELOG.md's releases
set(THUMBROVER_MAINTAINER "Thumbrover maintainers <maintainers@thumbrover.app>")
set(THUMBROVER_APP_ID app.thumbrover.Thumbrover)
set(docs ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${docs})

find_program(THUMBROVER_HELP2MAN help2man REQUIRED)
find_program(THUMBROVER_GZIP gzip REQUIRED)

# CHANGELOG.md is read when configuring, so that a version without its entry stops here rather
# than in a package that says nothing about it.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/CHANGELOG.md ${CMAKE_SOURCE_DIR}/packaging/changelog
  ${CMAKE_SOURCE_DIR}/packaging/${THUMBROVER_APP_ID}.metainfo.xml.in)
function(thumbrover_changelog format output_variable)
  execute_process(
    COMMAND ${CMAKE_SOURCE_DIR}/packaging/changelog ${format} ${CMAKE_SOURCE_DIR}/CHANGELOG.md
            ${PROJECT_VERSION} ${ARGN}
    OUTPUT_VARIABLE text ERROR_VARIABLE problem RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    string(STRIP "${problem}" problem)
    message(FATAL_ERROR "${problem}")
  endif()
  set(${output_variable} "${text}" PARENT_SCOPE)
endfunction()

thumbrover_changelog(debian debian_changelog "${THUMBROVER_MAINTAINER}")
file(WRITE ${docs}/changelog "${debian_changelog}")
# -n: no name or time stamp inside, so that the same changelog always gives the same bytes.
execute_process(COMMAND ${THUMBROVER_GZIP} -9n -c ${docs}/changelog
                OUTPUT_FILE ${docs}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)

thumbrover_changelog(appstream THUMBROVER_RELEASES)
string(STRIP "${THUMBROVER_RELEASES}" THUMBROVER_RELEASES)
set(THUMBROVER_RELEASES "    ${THUMBROVER_RELEASES}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/${THUMBROVER_APP_ID}.metainfo.xml.in
               ${docs}/${THUMBROVER_APP_ID}.metainfo.xml @ONLY)

# The manual pages carry the date of the newest release, not of the build.
string(REGEX MATCH "\n -- [^\n]*  ([^\n]+)\n" trailer "${debian_changelog}")
execute_process(COMMAND date -u -d "${CMAKE_MATCH_1}" +%s OUTPUT_VARIABLE release_epoch
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set(manual_pages)
foreach(program thumbrover thumbroverctl)
  set(page ${docs}/${program}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${release_epoch}
            ${THUMBROVER_HELP2MAN} --no-info
            --include ${CMAKE_SOURCE_DIR}/packaging/man/${program}.h2m
            --output ${page} $<TARGET_FILE:${program}>
    COMMAND ${THUMBROVER_GZIP} -9nf ${page}
    DEPENDS ${program} ${CMAKE_SOURCE_DIR}/packaging/man/${program}.h2m
    COMMENT "Writing the manual page ${program}(1)"
    VERBATIM)
  list(APPEND manual_pages ${page}.gz)
endforeach()
add_custom_target(thumbrover_manual_pages ALL DEPENDS ${manual_pages})

install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${docs}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${docs}/${THUMBROVER_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
