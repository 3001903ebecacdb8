# Windows programs built here run under Wine, each test tree with a private Wine prefix of its own. The 64-bit
# tree's programs run on this machine; the 32-bit tree's need 32-bit Wine, which only the guest of
# scripts/guest/ has, so its tests run there, with a prefix given at run time (NIMBREL_WINEPREFIX).
set(NIMBREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix used to run this tree's programs")
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(NIMBREL_WINEARCH win64)
else()
    set(NIMBREL_WINEARCH win32)
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
# The same at a chosen display scale, in a prefix of its own for each run (the window's tests at 100% to 200%).
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run-scaled.in ${CMAKE_BINARY_DIR}/wine-run-scaled @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
