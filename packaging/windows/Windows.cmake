# The Windows programs (scripts/build-windows.sh builds them and makes the MSI from packaging/windows/kesola.wxs):
# kesola.exe a windowed program with its icon, kesola-admin.exe a console program as on Debian, both with version
# information and a manifest that keeps them unelevated.
# The build's version (scripts/build-windows.sh gives 1.0.<commits>), as the version information's four numbers.
set(KESOLA_VERSION ${PROJECT_VERSION} CACHE STRING "The Windows programs' version")
string(REPLACE "." "," KESOLA_RC_VERSION "${KESOLA_VERSION},0")

function(kesola_windows_resources target description icon)
    set(KESOLA_RC_NAME ${target})
    set(KESOLA_RC_DESCRIPTION ${description})
    if(icon)
        set(KESOLA_RC_ICON "IDI_ICON1 ICON \"${icon}\"")
    else()
        set(KESOLA_RC_ICON "")
    endif()
    configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/version.rc.in ${CMAKE_BINARY_DIR}/${target}.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/${target}.rc)
endfunction()

kesola_windows_resources(kesola "ＭＲＩ予約システム" ${CMAKE_SOURCE_DIR}/app/icons/kesola.ico)
kesola_windows_resources(kesola-admin "ＭＲＩ予約システム 管理コマンド" "")
# The GUI subsystem: no console window opens beside the board. mingw's start-up still calls main().
target_link_options(kesola PRIVATE -mwindows)

install(TARGETS kesola kesola-admin RUNTIME DESTINATION .)
