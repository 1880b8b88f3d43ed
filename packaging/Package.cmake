# The Debian package, made by CPack's DEB generator (scripts/package.sh runs cpack -G DEB
# in a Release build configured with the install prefix /usr). Its dependencies are worked
# out from the shared libraries that the programs link (dpkg-shlibdeps).

# What Debian keeps for every package: the copyright and a changelog, packed as gzip -9n
# (no name or time stamp inside, so every build packs the same bytes).
set(package_doc ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${package_doc})
add_custom_command(OUTPUT ${package_doc}/changelog.gz
    COMMAND sh -c "gzip -9n <\"$0\" >\"$1\"" ${CMAKE_CURRENT_LIST_DIR}/changelog
        ${package_doc}/changelog.gz
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog
    COMMENT "Packing the changelog"
    VERBATIM)
add_custom_target(corvane_package_docs ALL DEPENDS ${package_doc}/changelog.gz)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${package_doc}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/corvane)

# A stripped program keeps the compiler's .comment section, which Debian's own stripping
# (dh_strip) removes as well.
install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
        foreach(program corvane corvane-cli)
            set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
            if(EXISTS \"\${file}\")
                execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment \"\${file}\"
                    COMMAND_ERROR_IS_FATAL ANY)
            endif()
        endforeach()
    endif()")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Corvane developers")
set(CPACK_PACKAGE_CONTACT "Corvane developers <dev@corvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "build a small static web site and publish it by FTP")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvane is a desktop program with which one person builds a small static
web site without writing HTML, and publishes it to a web server by FTP.
A project holds a menu of columns, each a list of pages with title,
author, date, picture, text and a link, and links to other sites; the
look of the whole site is set in a few dialogs: one of six page layouts,
sizes, a colour scheme, fonts, the fixed words of the pages in the
site's language, a welcome bar, a topic bar, a menu of picture buttons,
a side column and a foot.

Every change is saved at once and a preview shows the homepage as it now
is. New projects start blank or from a template; three templates and a
sample project come with the program. The command-line tool corvane-cli
checks, builds and publishes a project without a window.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # corvane_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://corvane.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# Folders the package makes are 0755 whatever the packager's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
