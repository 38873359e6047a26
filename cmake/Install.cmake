# Installation as a Linux desktop application.
#
# The programs find res/ and their helper libraries beside the executable
# (they resolve /proc/self/exe, which names the real file behind a link), so
# the executables, res/ and the helper libraries stay together in a private
# folder, lib/quorvel, and bin/ holds relative links to the executables.
# Desktop entry, icons, AppStream metainfo, manual pages, bash completion and
# the service's systemd user unit go where the desktop looks for them.
#
# The files that name the installed executables (desktop entry, user unit)
# are written at install time, from the prefix the install actually uses:
# "cmake --install build --prefix DIR" and the package both get their own.

include(GNUInstallDirs)

set(QUORVEL_INSTALL_PRIVATEDIR "lib/quorvel" CACHE STRING
    "Folder below the prefix for the executables, res/ and the helper libraries")
set(QUORVEL_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)
set(QUORVEL_DIST_BUILD_DIR ${CMAKE_BINARY_DIR}/dist)
file(MAKE_DIRECTORY ${QUORVEL_DIST_BUILD_DIR}/man ${QUORVEL_DIST_BUILD_DIR}/icons)

set(QUORVEL_EXECUTABLES quorvel quorvel-cli quorvel-service)
set(QUORVEL_HELPER_LIBRARIES qvgifconv qvpdfrender qvpdfwrite qvsvgrender)
# Started by the programs, never by a user: no link in bin/.
set(QUORVEL_HELPER_EXECUTABLES quorvel-decode)

# --- The program's own folder -------------------------------------------------
install(TARGETS ${QUORVEL_EXECUTABLES} ${QUORVEL_HELPER_EXECUTABLES}
        RUNTIME DESTINATION ${QUORVEL_INSTALL_PRIVATEDIR})
install(TARGETS ${QUORVEL_HELPER_LIBRARIES} LIBRARY DESTINATION ${QUORVEL_INSTALL_PRIVATEDIR})
install(FILES ${CMAKE_BINARY_DIR}/res/default.rcc ${CMAKE_BINARY_DIR}/res/quorvel.qm
        DESTINATION ${QUORVEL_INSTALL_PRIVATEDIR}/res)

# --- bin/: relative links, so that the installed tree can be moved ------------
file(RELATIVE_PATH QUORVEL_BIN_TO_PRIVATE /${CMAKE_INSTALL_BINDIR} /${QUORVEL_INSTALL_PRIVATEDIR})
install(CODE "
    set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${_bin}\")
    foreach(_exe ${QUORVEL_EXECUTABLES})
        message(STATUS \"Installing: \${_bin}/\${_exe} -> ${QUORVEL_BIN_TO_PRIVATE}/\${_exe}\")
        file(CREATE_LINK \"${QUORVEL_BIN_TO_PRIVATE}/\${_exe}\" \"\${_bin}/\${_exe}\" SYMBOLIC)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_bin}/\${_exe}\")
    endforeach()
")

# --- Files that name the installed executables --------------------------------
include(DistLaunchers)
# quorvel_install_launcher(<template> <destination below the prefix> <file name> <desktop|systemd>)
function(quorvel_install_launcher template destination name format)
    install(CODE "
        include(\"${PROJECT_SOURCE_DIR}/cmake/DistLaunchers.cmake\")
        set(_to \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${destination}/${name}\")
        message(STATUS \"Installing: \${_to}\")
        quorvel_configure_launcher(\"${template}\" \"\${_to}\"
            \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\" ${format})
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_to}\")
    ")
endfunction()

quorvel_install_launcher(${QUORVEL_DIST_DIR}/quorvel.desktop.in
                         ${CMAKE_INSTALL_DATADIR}/applications quorvel.desktop desktop)
quorvel_install_launcher(${QUORVEL_DIST_DIR}/quorvel-service.service.in
                         lib/systemd/user quorvel-service.service systemd)

# The tests use a copy that names the executables in the build folder.
quorvel_configure_launcher(${QUORVEL_DIST_DIR}/quorvel.desktop.in
                           ${QUORVEL_DIST_BUILD_DIR}/quorvel.desktop ${CMAKE_BINARY_DIR} desktop)

install(FILES ${QUORVEL_DIST_DIR}/io.github.quorvel.Quorvel.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# --- Application icon: the logo the window already uses, in the hicolor theme --
set(QUORVEL_LOGO ${PROJECT_SOURCE_DIR}/src/resources/icons/title.svg)
set(QUORVEL_ICON_PNGS)
foreach(size 48 256)
    set(work ${QUORVEL_DIST_BUILD_DIR}/icons/${size})
    file(WRITE ${work}.txt "title ${size} ${size} plain compiled\n")
    add_custom_command(
        OUTPUT ${QUORVEL_DIST_BUILD_DIR}/icons/quorvel-${size}.png
        COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
                $<TARGET_FILE:qv_artwork> ${work}.txt ${PROJECT_SOURCE_DIR}/src/resources/icons ${work}
        COMMAND ${CMAKE_COMMAND} -E copy ${work}/compiled/Resources/title.png
                ${QUORVEL_DIST_BUILD_DIR}/icons/quorvel-${size}.png
        DEPENDS qv_artwork ${QUORVEL_LOGO}
        COMMENT "Rendering the ${size} px application icon"
        VERBATIM)
    list(APPEND QUORVEL_ICON_PNGS ${QUORVEL_DIST_BUILD_DIR}/icons/quorvel-${size}.png)
    install(FILES ${QUORVEL_DIST_BUILD_DIR}/icons/quorvel-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME quorvel.png)
endforeach()
install(FILES ${QUORVEL_LOGO} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME quorvel.svg)

# --- Manual pages and completion, made from the programs' own --help ---------
find_program(HELP2MAN_EXECUTABLE help2man REQUIRED)
set(QUORVEL_MAN_PAGES)
# quorvel_man_page(<target> [--commands])
function(quorvel_man_page target)
    set(page ${QUORVEL_DIST_BUILD_DIR}/man/${target}.1.gz)
    add_custom_command(
        OUTPUT ${page}
        COMMAND bash ${QUORVEL_DIST_DIR}/man/make-man.sh ${page} $<TARGET_FILE:${target}>
                ${QUORVEL_DIST_DIR}/man/${target}.h2m ${PROJECT_VERSION} ${ARGN}
        DEPENDS ${target} ${QUORVEL_DIST_DIR}/man/make-man.sh ${QUORVEL_DIST_DIR}/man/${target}.h2m
        COMMENT "Writing the manual page of ${target}"
        VERBATIM)
    set(QUORVEL_MAN_PAGES ${QUORVEL_MAN_PAGES} ${page} PARENT_SCOPE)
endfunction()
quorvel_man_page(quorvel)
quorvel_man_page(quorvel-cli --commands)
quorvel_man_page(quorvel-service)
install(FILES ${QUORVEL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(QUORVEL_COMPLETION ${QUORVEL_DIST_BUILD_DIR}/completion/quorvel-cli)
add_custom_command(
    OUTPUT ${QUORVEL_COMPLETION}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUORVEL_DIST_BUILD_DIR}/completion
    COMMAND bash ${QUORVEL_DIST_DIR}/completion/make-completion.sh $<TARGET_FILE:quorvel-cli>
            ${QUORVEL_COMPLETION}
    DEPENDS quorvel-cli ${QUORVEL_DIST_DIR}/completion/make-completion.sh
    COMMENT "Writing the bash completion of quorvel-cli"
    VERBATIM)
install(FILES ${QUORVEL_COMPLETION} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

add_custom_target(quorvel_dist ALL DEPENDS ${QUORVEL_ICON_PNGS} ${QUORVEL_MAN_PAGES} ${QUORVEL_COMPLETION})

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
