# Installing and packaging. Natively: the program, its manual page and its
# documentation, in the GNU layout, and a Debian package of them (cpack -G
# DEB in a release build folder). On Windows: a plain zip of Marvoly.exe,
# the console program marvoly-cli.exe and a short README.txt (cpack -G ZIP).
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME marvoly)
set(CPACK_PACKAGE_VENDOR "The Marvoly developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${PROJECT_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)

if(WIN32)
    install(TARGETS Marvoly marvoly_cli RUNTIME DESTINATION .)
    install(FILES ${PROJECT_SOURCE_DIR}/docs/README-windows.txt DESTINATION . RENAME README.txt)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME Marvoly-${PROJECT_VERSION})
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
    include(CPack)
    return()
endif()

set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/marvoly)
install(TARGETS marvoly RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/marvoly-report.schema.json
        DESTINATION ${doc_dir} COMPONENT program)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/service/echo/ DESTINATION ${doc_dir}/examples
        COMPONENT program)
install(FILES ${PROJECT_SOURCE_DIR}/docs/marvoly.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT manual)

# Debian wants the manual page and the changelog compressed, and the licence
# as its copyright file: these go into the package only.
set(deb_dir ${CMAKE_BINARY_DIR}/debian)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)\n\n(.*[^\n])" ignored "${license}")
set(holder "${CMAKE_MATCH_1}")
string(REPLACE "\n\n" "\n.\n" terms "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " terms "${terms}")
file(WRITE ${deb_dir}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: marvoly\n\n"
    "Files: *\nCopyright: ${holder}\nLicense: Expat\n ${terms}\n")
foreach(file man1/marvoly.1 changelog)
    get_filename_component(name ${file} NAME)
    if(file STREQUAL changelog)
        set(source ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
    else()
        set(source ${PROJECT_SOURCE_DIR}/docs/marvoly.1)
    endif()
    add_custom_command(OUTPUT ${deb_dir}/${name}.gz
        COMMAND sh -c "gzip -9n <\"$1\" >\"$2\"" sh ${source} ${deb_dir}/${name}.gz
        DEPENDS ${source} VERBATIM)
    list(APPEND deb_files ${deb_dir}/${name}.gz)
endforeach()
add_custom_target(marvoly_debian_files ALL DEPENDS ${deb_files})
install(FILES ${deb_dir}/marvoly.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${deb_dir}/copyright ${deb_dir}/changelog.gz DESTINATION ${doc_dir}
        COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program debian)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME marvoly)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Marvoly developers <developers@marvoly.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Marvoly compares the machine's own IPv4 address with the address under
which an outside address-echo web page sees it, and tells whether the
machine sits behind a firewall or an address-translating router, which
matters for H.323 videoconferencing.

In a terminal it shows its dialog; for scripts and monitoring it prints a
text or JSON report of one detection run, with an exit status that tells
whether both addresses were found.")
include(CPack)
