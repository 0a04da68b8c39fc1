# What a Linux desktop expects besides the programs (manual pages, bash completion, AppStream
# metadata, the package's own documents) and the Debian package made of all of it by CPack
# (`make package`). Included once the window and murmex-cli are both built.
include(GNUInstallDirs)

# The project has no public home yet: the AppStream screenshots are this page's docs/ pictures.
set(MURMEX_HOMEPAGE "https://murmex.example.org" CACHE STRING
    "Project home page; the AppStream screenshots are its docs/ pictures")
set(MURMEX_MAINTAINER "Murmex developers <murmex@example.org>" CACHE STRING
    "Debian package maintainer")
# This version's release date, for the AppStream release list, the package's change log and the
# manual pages' footers (so that they do not change with the day they were built).
set(MURMEX_RELEASE_DATE 2026-12-08)

set(MURMEX_PACKAGING_SOURCE ${CMAKE_SOURCE_DIR}/packaging)
set(MURMEX_PACKAGING_BUILD ${CMAKE_BINARY_DIR}/packaging)
set(MURMEX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/murmex)
file(MAKE_DIRECTORY ${MURMEX_PACKAGING_BUILD})

execute_process(COMMAND date -u -d "${MURMEX_RELEASE_DATE} 12:00" +%s
                OUTPUT_VARIABLE MURMEX_RELEASE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND date -u -R -d "@${MURMEX_RELEASE_EPOCH}"
                OUTPUT_VARIABLE MURMEX_RELEASE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
find_program(GZIP_PROGRAM gzip REQUIRED)

# Manual pages written by help2man from each program's --help and --version at build time, so
# they cannot drift from them; the .h2m files add the exit status, examples and files.
find_program(HELP2MAN_PROGRAM help2man)
if(HELP2MAN_PROGRAM)
  set(MURMEX_MAN_NAME_murmex "remove steady background noise from recorded audio")
  set(MURMEX_MAN_NAME_murmex-cli "remove steady background noise from audio files, without a window")
  set(MURMEX_MAN_PAGES)
  foreach(program murmex murmex-cli)
    set(page ${MURMEX_PACKAGING_BUILD}/${program}.1)
    add_custom_command(
      OUTPUT ${page} ${page}.gz
      COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${MURMEX_RELEASE_EPOCH}
              ${HELP2MAN_PROGRAM} --no-info --section=1 "--name=${MURMEX_MAN_NAME_${program}}"
              --include=${MURMEX_PACKAGING_SOURCE}/${program}.h2m --output=${page} $<TARGET_FILE:${program}>
      COMMAND ${GZIP_PROGRAM} -9nkf ${page}
      DEPENDS ${program} ${MURMEX_PACKAGING_SOURCE}/${program}.h2m
      COMMENT "Writing the manual page ${program}(1)"
      VERBATIM)
    list(APPEND MURMEX_MAN_PAGES ${page}.gz)
  endforeach()
  add_custom_target(murmex_man_pages ALL DEPENDS ${MURMEX_MAN_PAGES})
  install(FILES ${MURMEX_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found (scripts/install-deps installs it): no manual pages")
endif()

install(FILES ${MURMEX_PACKAGING_SOURCE}/murmex-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME murmex-cli)

configure_file(${MURMEX_PACKAGING_SOURCE}/murmex.metainfo.xml.in ${MURMEX_PACKAGING_BUILD}/murmex.metainfo.xml @ONLY)
install(FILES ${MURMEX_PACKAGING_BUILD}/murmex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

configure_file(${MURMEX_PACKAGING_SOURCE}/changelog.in ${MURMEX_PACKAGING_BUILD}/changelog @ONLY)
add_custom_command(OUTPUT ${MURMEX_PACKAGING_BUILD}/changelog.gz
                   COMMAND ${GZIP_PROGRAM} -9nkf ${MURMEX_PACKAGING_BUILD}/changelog
                   DEPENDS ${MURMEX_PACKAGING_BUILD}/changelog VERBATIM)
add_custom_target(murmex_changelog ALL DEPENDS ${MURMEX_PACKAGING_BUILD}/changelog.gz)
install(FILES ${MURMEX_PACKAGING_BUILD}/changelog.gz ${MURMEX_PACKAGING_SOURCE}/copyright DESTINATION ${MURMEX_DOC_DIR})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME murmex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${MURMEX_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${MURMEX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${MURMEX_HOMEPAGE}")
# Linked libraries come from dpkg-shlibdeps; the encoders' libraries are opened at run time, so
# no linker records them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmp3lame0, libvorbisenc2, libvorbisfile3")
# The window's skin draws its texts in these (metric twins of the fonts it was designed with).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-dejavu-core")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remove steady background noise from recorded audio")
# CPack puts the summary on the Description line itself; this is the long description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Murmex removes steady background noise such as hiss, hum and broadband
noise from recorded audio. Its window loads one file (WAV, MP3, Ogg Vorbis,
WMA or FLAC), previews it with noise reduction while a live spectrum follows
the sound, and saves the cleaned audio as WAV, MP3, Ogg Vorbis or WMA with
its tags.
.
This package contains the window (murmex), its command-line twin for batch
work (murmex-cli) and the same noise reduction as an LV2 plugin for
audio hosts.")
include(CPack)

add_test(NAME packaging_metadata
         COMMAND ${CMAKE_SOURCE_DIR}/tests/packaging/check_metadata.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
add_test(NAME packaging_bash_completion
         COMMAND ${CMAKE_SOURCE_DIR}/tests/packaging/test_completion.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
