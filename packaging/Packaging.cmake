# The Debian package that hospital IT installs on every workstation (scripts/package.sh makes it):
# /usr/bin/kesola and /usr/bin/kesola-admin, the menu entry, the icon theme's files and kesola-admin's manual page.
# Nothing installed here is user data: databases, settings files and exports live outside /usr, so removing or
# purging the package leaves them where they are, and the package has no maintainer scripts.

include(GNUInstallDirs)

# cpack builds only what scripts/package.sh has built, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS kesola kesola-admin RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kesola.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/app/icons/kesola.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/app/icons/kesola-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kesola.png)
endforeach()

# kesola-admin's manual page is its --help text (target manpage; needs help2man).
find_program(HELP2MAN help2man)
if(HELP2MAN)
    set(manpage ${CMAKE_BINARY_DIR}/kesola-admin.1.gz)
    add_custom_command(OUTPUT ${manpage}
        # The help text holds Japanese: help2man reads it in its locale's character set.
        COMMAND ${HELP2MAN} --locale=C.UTF-8 --no-info --version-string=${PROJECT_VERSION}
                "--name=create and copy the databases of the MRI room reservation book"
                --output=${CMAKE_BINARY_DIR}/kesola-admin.1 $<TARGET_FILE:kesola-admin>
        COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/kesola-admin.1
        DEPENDS kesola-admin VERBATIM)
    add_custom_target(manpage DEPENDS ${manpage})
    install(FILES ${manpage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kesola)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "MRI room reservation book maintainers <kesola@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reservation book of a hospital's MRI room")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Japanese-language desktop program for the reservation book of a hospital's MRI room.\n"
    "Several workstations share one database (an SQLite file or a PostgreSQL server); each shows a day\n"
    "timetable of one room, books, changes and cancels examinations, maintains the master lists, exports\n"
    "reservations to a Shift-JIS CSV file and prints the board.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program loads at run time, which the libraries it links do not name: the database drivers, the font
# that stands in for ＭＳ ゴシック and Qt's Japanese texts. The X11 platform plugin (libqxcb.so) ships in
# libqt6gui6 on Debian 12, which the linked libraries already bring; it is named anyway, as the plugin is what the
# program needs from it (qt6-qpa-plugins holds only the other platforms).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, fonts-ipafont-gothic, qt6-translations-l10n, libqt6gui6")
include(CPack)
