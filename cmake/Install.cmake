# Installation and the Debian package.
#
# `cmake --install build` (prefix /usr/local unless told otherwise) puts the
# program, its command-line companion and the three Symbian tools in bin/,
# where the program finds SISTool.exe beside itself, plus the menu entry, the
# package type for file managers, the icon, the AppStream metadata, the manual pages, the bash completion of
# kastra-theme and the copyright and changelog under share/. An installed program cannot
# write to bin/, so it keeps its program folder in the user's data folder
# ($XDG_DATA_HOME/kastra-theme/); nothing else needs installing for that.
#
# `cpack -G DEB` in the build folder packs the same files under /usr.
# mkdefaults and samplepic only serve the build and stay out of both.

include(GNUInstallDirs)

# Installing (and cpack, which installs into its staging folder) takes what
# the build left instead of first building everything, tests and benchmarks
# included; `make install` and `make package` build before they install.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS kastra-theme-creator kastra-theme bmconv makesis sistool
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)

install(FILES resources/kastra-theme-creator.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT program)
# The package type the menu entry offers to open, for systems that do not
# know it; shared-mime-info merges it with what it has.
install(FILES resources/kastra-theme-creator-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME kastra-theme-creator.xml COMPONENT program)
install(FILES resources/kastra-theme-creator.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT program)
configure_file(resources/${KASTRA_APP_ID}.metainfo.xml
               ${CMAKE_CURRENT_BINARY_DIR}/${KASTRA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${KASTRA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT program)

# The manual pages are roff written by hand (docs/man): they are short, and a
# generator would either add a build dependency (pandoc, ronn) or need the
# freshly built programs to run (help2man, impossible when cross-compiling)
# while giving worse pages for a program with commands. The version and date
# are filled in here; the pages and the changelog are installed compressed
# with gzip -9n, as Debian wants them, the same bytes from every build.
find_program(KASTRA_GZIP gzip REQUIRED)
set(KASTRA_PACKAGE_MAINTAINER "Kastra Theme Creator developers <kastra-theme@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian package")
set(doc_out ${CMAKE_CURRENT_BINARY_DIR}/doc)
set(compressed "")
foreach(page kastra-theme-creator kastra-theme bmconv makesis SISTool.exe)
  configure_file(docs/man/${page}.1.in ${doc_out}/${page}.1 @ONLY)
  list(APPEND compressed ${doc_out}/${page}.1)
endforeach()
configure_file(resources/debian/changelog.in ${doc_out}/changelog @ONLY)
list(APPEND compressed ${doc_out}/changelog)
set(compressed_gz "")
foreach(file IN LISTS compressed)
  add_custom_command(
    OUTPUT ${file}.gz
    COMMAND ${KASTRA_GZIP} -9nkf ${file}
    DEPENDS ${file}
    VERBATIM)
  list(APPEND compressed_gz ${file}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${compressed_gz})
list(FILTER compressed_gz INCLUDE REGEX "\\.1\\.gz$")
install(FILES ${compressed_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
install(FILES resources/completion/kastra-theme
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT program)
# Debian's places, which serve a plain install as well.
set(KASTRA_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/kastra-theme-creator)
install(FILES resources/debian/copyright ${doc_out}/changelog.gz DESTINATION ${KASTRA_DOC_DIR} COMPONENT program)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kastra-theme-creator)
set(CPACK_PACKAGE_VENDOR "Kastra Theme Creator developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "theme builder for the Halvorn Kastra handset")
set(CPACK_PACKAGE_DESCRIPTION
  "Builds themes for the Halvorn Kastra, a Series 60 (Symbian OS 6/7) handset.\n"
  "Assemble a theme from your own pictures, watch a live preview of the\n"
  "handset desktop and menu, edit any picture in your paint program and pack\n"
  "the theme into the Symbian multi-bitmap files and the SIS package the\n"
  "handset installs. Includes the command-line companion kastra-theme and the\n"
  "Symbian tools bmconv, makesis and SISTool.exe.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "${KASTRA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KASTRA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The package carries binaries, not their debugging data, whatever the build
# type.
set(CPACK_STRIP_FILES ON)
# The libraries the binaries link (Qt, libjpeg, zlib, the C++ runtime) come
# from dpkg-shlibdeps. The fonts are loaded by name, which it cannot see: the
# previews draw the handset's texts in them and the window's layout is
# measured with them, so without them both come out wrong; they are a few
# small architecture-independent packages, hence Depends. Qt's Russian
# texts for its standard dialogs and xdg-open, the fallback paint program,
# only polish the program, hence Recommends; the paint programs it looks
# for are Suggests.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core, fonts-comic-neue")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "kolourpaint | pinta | gimp")
include(CPack)
