# The release: `cpack --preset i686`, after the program's build, writes
# vexlets-<version>-win32.zip into the build tree, holding vexlets.exe, README.txt and
# LICENSE.txt at its top and nothing else. The texts get Windows line ends, so that every
# editor shows them as lines. scripts/check-package checks the result.

# README.txt is made beside the program (src/app), from the same options text as "/?".
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_BINARY_DIR}/package/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)

# Packing builds nothing (by default it would build every test first): build the program,
# then pack it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
install(TARGETS vexlets RUNTIME DESTINATION . COMPONENT release)
install(FILES ${PROJECT_BINARY_DIR}/package/README.txt ${PROJECT_BINARY_DIR}/package/LICENSE.txt
        DESTINATION . COMPONENT release)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vexlets)
set(CPACK_PACKAGE_FILE_NAME vexlets-${PROJECT_VERSION}-${wine_arch})
# The files at the zip's top, not in a folder named after it.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
# Only what install() gave the release, even if a library added rules of its own.
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL release)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
include(CPack)
