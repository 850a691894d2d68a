# The Debian package that hospital IT installs on every workstation (scripts/package.sh makes it and runs lintian on
# it): /usr/bin/kesola, /usr/bin/kesola-admin and /usr/bin/kesola-worklist, the menu entry, the icon theme's files,
# the AppStream metadata, the manual pages, the worklist's systemd unit (disabled) and system user, and in
# /usr/share/doc/kesola the copyright, the changelog, the worklist's guide and DICOM conformance statement and the
# examples (nightly backup, worklist settings). Nothing installed here is user data: databases, settings files and
# exports live outside /usr, so removing or purging the package leaves them where they are. The one maintainer
# script makes the worklist's system user; nothing is enabled or started.

include(GNUInstallDirs)

# cpack builds only what scripts/package.sh has built, not the tests and benchmarks.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS kesola kesola-admin kesola-worklist RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Stripped as Debian strips them (dh_strip): the compiler's .comment and the .note section go too.
find_program(KESOLA_STRIP NAMES strip REQUIRED)
install(CODE "foreach(program kesola kesola-admin kesola-worklist)
    execute_process(COMMAND ${KESOLA_STRIP} --remove-section=.comment --remove-section=.note --strip-unneeded
                    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()")
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kesola.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/org.example.kesola.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/app/icons/kesola.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/app/icons/kesola-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME kesola.png)
endforeach()
set(kesola_docdir ${CMAKE_INSTALL_DATADIR}/doc/kesola)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright DESTINATION ${kesola_docdir})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/packaging/examples/ DESTINATION ${kesola_docdir}/examples)
install(FILES ${CMAKE_SOURCE_DIR}/doc/worklist.md ${CMAKE_SOURCE_DIR}/doc/dicom-conformance.md
        DESTINATION ${kesola_docdir})
# The worklist service: Debian 12 keeps the units of packages in /lib/systemd/system.
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kesola-worklist.service DESTINATION /lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/kesola-worklist.sysusers DESTINATION lib/sysusers.d
        RENAME kesola-worklist.conf)

# Compressed as Debian wants them (gzip -9n: no name, no time stamp) by the target package-files.
set(kesola_packaged)
function(kesola_gzip source output)
    add_custom_command(OUTPUT ${output} COMMAND gzip -9nc ${source} > ${output} DEPENDS ${source})
    set(kesola_packaged ${kesola_packaged} ${output} PARENT_SCOPE)
endfunction()
kesola_gzip(${CMAKE_SOURCE_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/changelog.gz)
kesola_gzip(${CMAKE_SOURCE_DIR}/packaging/kesola.1 ${CMAKE_BINARY_DIR}/kesola.1.gz)
kesola_gzip(${CMAKE_SOURCE_DIR}/packaging/kesola-worklist.1 ${CMAKE_BINARY_DIR}/kesola-worklist.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${kesola_docdir})
install(FILES ${CMAKE_BINARY_DIR}/kesola.1.gz ${CMAKE_BINARY_DIR}/kesola-worklist.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# kesola-admin's manual page is its --help text (needs help2man).
find_program(HELP2MAN help2man)
if(HELP2MAN)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/kesola-admin.1
        # The help text holds Japanese: help2man reads it in its locale's character set.
        COMMAND ${HELP2MAN} --locale=C.UTF-8 --no-info --version-string=${PROJECT_VERSION}
                "--name=create, copy, back up and check the databases of the MRI room reservation book"
                --output=${CMAKE_BINARY_DIR}/kesola-admin.1 $<TARGET_FILE:kesola-admin>
        DEPENDS kesola-admin VERBATIM)
    kesola_gzip(${CMAKE_BINARY_DIR}/kesola-admin.1 ${CMAKE_BINARY_DIR}/kesola-admin.1.gz)
    install(FILES ${CMAKE_BINARY_DIR}/kesola-admin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
add_custom_target(package-files DEPENDS ${kesola_packaged})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kesola)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# example.org stands for the project's own domain (also in copyright, changelog and the AppStream id and URLs).
set(CPACK_PACKAGE_CONTACT "MRI room reservation book maintainers <kesola@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reservation book of a hospital's MRI room")
# Lines of at most 80 characters, as Debian's tools show them.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Japanese-language desktop program for the reservation book of a hospital's\n"
    "MRI room. Several workstations share one database (an SQLite file or a\n"
    "PostgreSQL server); each shows a day timetable of one room, books, changes\n"
    "and cancels examinations, maintains the master lists, exports reservations\n"
    "to a Shift-JIS CSV file and prints the board. kesola-admin creates, copies,\n"
    "backs up and checks the database. kesola-worklist is a DICOM modality\n"
    "worklist and MPPS server for the scanners (a systemd service, disabled).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program loads at run time, which the libraries it links do not name: the database drivers, the font
# that stands in for ＭＳ ゴシック and Qt's Japanese texts. The X11 platform plugin (libqxcb.so) ships in
# libqt6gui6 on Debian 12, which the linked libraries already bring; it is named anyway, as the plugin is what the
# program needs from it (qt6-qpa-plugins holds only the other platforms).
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6sql6-sqlite, libqt6sql6-psql, fonts-ipafont-gothic, qt6-translations-l10n, libqt6gui6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
