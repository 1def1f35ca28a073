# Cross-built test programs run under a private Wine prefix inside the build
# tree, through a wrapper that CTest uses as the cross-compiling emulator.
find_program(MARVOLY_WINE NAMES wine64 wine PATHS /usr/lib/wine REQUIRED)
find_program(MARVOLY_WINESERVER NAMES wineserver wineserver64 PATHS /usr/lib/wine REQUIRED)
set(MARVOLY_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
               @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
