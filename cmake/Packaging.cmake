# Install rules, desktop integration and the Debian package.
#
#   <prefix>/lib/tallowmere/quillnet        the program (TALLOWMERE_INSTALL_LIBDIR)
#   <prefix>/lib/tallowmere/quillnet.enu    the English module, looked up beside the program file
#   <prefix>/bin/quillnet                   relative symbolic link to the program
#   <prefix>/share/applications/            example.ostrevane.Tallowmere.desktop
#   <prefix>/share/icons/hicolor/*/apps/    example.ostrevane.Tallowmere.{png,svg}
#   <prefix>/share/metainfo/                example.ostrevane.Tallowmere.metainfo.xml
#   <prefix>/lib/systemd/system/            tallowmere-prober.service (the headless prober, not
#                                           enabled)
#   <prefix>/share/doc/tallowmere/examples/ prober.ini (the prober's example configuration)
#
# The program resolves /proc/self/exe, so started through the link it still finds its module in
# its own folder. It writes its files there when it may (an install into a prefix the user owns)
# and otherwise into $XDG_DATA_HOME/tallowmere.
#
#   cmake --install build --prefix <prefix>
#   cpack --config build/CPackConfig.cmake -B build/package     (tallowmere_<version>_<arch>.deb)

include(GNUInstallDirs)

# The program's own folder under the prefix; every file that must lie beside the program file
# (the language modules) is installed here too. Relative to the prefix. The rules below run
# at the end of the top directory, so this file may be included before the folders whose
# install rules use the variable, or after them.
if(NOT DEFINED TALLOWMERE_INSTALL_LIBDIR)
    set(TALLOWMERE_INSTALL_LIBDIR "lib/tallowmere")
endif()
function(tallowmere_packaging)
    set(TALLOWMERE_APP_ID "example.ostrevane.Tallowmere")

    # Only system libraries are linked: no run-time search path in the installed program.
    set_target_properties(quillnet PROPERTIES INSTALL_RPATH "")
    install(TARGETS quillnet RUNTIME DESTINATION "${TALLOWMERE_INSTALL_LIBDIR}" COMPONENT Runtime)
    # The language module is looked up beside the real program file.
    install(FILES "${TALLOWMERE_ENGLISH_MODULE}" DESTINATION "${TALLOWMERE_INSTALL_LIBDIR}" COMPONENT Runtime)

    # The link is made in the build tree and installed as a link (file(INSTALL) keeps symbolic
    # links), so it also lands in DESTDIR staging, in the install manifest and in the package.
    cmake_path(RELATIVE_PATH TALLOWMERE_INSTALL_LIBDIR BASE_DIRECTORY "${CMAKE_INSTALL_BINDIR}"
        OUTPUT_VARIABLE _tm_link_dir)
    set(_tm_link "${CMAKE_BINARY_DIR}/install-link/quillnet")
    file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/install-link")
    file(CREATE_LINK "${_tm_link_dir}/quillnet" "${_tm_link}" SYMBOLIC)
    install(FILES "${_tm_link}" DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT Runtime)

    set(_tm_dist "${PROJECT_SOURCE_DIR}/dist")
    install(FILES "${_tm_dist}/${TALLOWMERE_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications" COMPONENT Runtime)
    install(FILES "${_tm_dist}/${TALLOWMERE_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo" COMPONENT Runtime)
    foreach(size 16 32 48 64 128 256)
        install(FILES "${_tm_dist}/icons/hicolor/${size}x${size}/apps/${TALLOWMERE_APP_ID}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            COMPONENT Runtime)
    endforeach()
    install(FILES "${_tm_dist}/icons/hicolor/scalable/apps/${TALLOWMERE_APP_ID}.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps" COMPONENT Runtime)

    # The headless prober: an example configuration and a service unit. The unit names the
    # program by its installed path, which is known only while installing (the package's
    # prefix is not the build's), so it is written then.
    set(_tm_examples "${CMAKE_INSTALL_DATADIR}/doc/tallowmere/examples")
    install(FILES "${_tm_dist}/prober.example.ini" DESTINATION "${_tm_examples}"
        RENAME prober.ini COMPONENT Runtime)
    set(_tm_unit "${CMAKE_BINARY_DIR}/dist/tallowmere-prober.service")
    install(CODE "
        set(BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        set(EXAMPLE \"\${CMAKE_INSTALL_PREFIX}/${_tm_examples}/prober.ini\")
        configure_file(\"${_tm_dist}/tallowmere-prober.service.in\" \"${_tm_unit}\" @ONLY)
        file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\" TYPE FILE
            FILES \"${_tm_unit}\")
    " COMPONENT Runtime)

    # The Debian package: the same files under /usr.
    set(CPACK_GENERATOR "DEB")
    set(CPACK_PACKAGE_NAME "tallowmere")
    set(CPACK_PACKAGE_VENDOR "Vornhart")
    set(CPACK_PACKAGE_CONTACT "Vornhart <tallowmere@ostrevane.example>")
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop network monitor: echo times, packet sizes, share copy speed")
    set(CPACK_PACKAGE_DESCRIPTION
        "Tallowmere measures echo round-trip times to a host (single or continuous, with a trend\n"
        "graph and log files), shows how the times grow with the packet size, and times copies\n"
        "of test files to an SMB network share.")
    string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
    set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
    set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
    set(CPACK_STRIP_FILES ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION "net")
    set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://ostrevane.example/")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-dejavu-core")
    # dpkg-shlibdeps finds the linked libraries (Qt 6, libsmbclient) with their exact versions; the
    # fonts are loaded at run time, so no library names them, and the X11 platform plugin comes
    # with libqt6gui6. Without dpkg-shlibdeps the libraries are listed by hand.
    find_program(TALLOWMERE_DPKG_SHLIBDEPS dpkg-shlibdeps)
    mark_as_advanced(TALLOWMERE_DPKG_SHLIBDEPS)
    if(TALLOWMERE_DPKG_SHLIBDEPS)
        set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
        set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
    else()
        set(CPACK_DEBIAN_PACKAGE_DEPENDS
            "libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6xml6 (>= 6.4), libsmbclient, fonts-liberation")
    endif()
    include(CPack)
endfunction()
cmake_language(DEFER CALL tallowmere_packaging)
