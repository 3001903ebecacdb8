# GoogleTest from Debian's sources, built by the cross compiler, and a helper that registers a test program.
set(NIMBREL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${NIMBREL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# nimbrel_add_gtest(NAME exe [SERIAL] SOURCES ... [LIBRARIES ...] [ENVIRONMENT VARIABLE=VALUE])
# Builds a console test program and registers each of its test cases as a CTest test, run under Wine. SERIAL:
# each runs alone (a test that reads its window's pixels from the shared display, where the windows of tests
# running beside it could lie over its own). ENVIRONMENT: a variable the test program runs with, set before
# Wine starts it.
function(nimbrel_add_gtest)
    cmake_parse_arguments(ARG "SERIAL" "NAME;ENVIRONMENT" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE support_test_settings ${ARG_LIBRARIES} support_gtest_failures
                                              GTest::gtest_main)
    set(properties TIMEOUT 120)
    if(ARG_SERIAL)
        list(APPEND properties RUN_SERIAL TRUE)
    endif()
    if(ARG_ENVIRONMENT)
        list(APPEND properties ENVIRONMENT "${ARG_ENVIRONMENT}")
    endif()
    if(CMAKE_CROSSCOMPILING_EMULATOR)
        gtest_discover_tests(${ARG_NAME}
            TEST_PREFIX "${ARG_NAME}."
            DISCOVERY_MODE PRE_TEST
            DISCOVERY_TIMEOUT 60
            PROPERTIES ${properties})
    endif()
endfunction()

# nimbrel_add_scaled_gtest(NAME exe SOURCES ... [LIBRARIES ...] SCALES dpi...)
# As nimbrel_add_gtest, with every test case run once at each display scale (LogPixels: 96 = 100%), each run in
# a Wine prefix of its own (wine-run-scaled) and alone: a window test that reads the screen must not share it
# with the windows of tests in other prefixes, which it cannot see. A case knows its scale from NIMBREL_LOGPIXELS.
function(nimbrel_add_scaled_gtest)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES;SCALES" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE support_test_settings ${ARG_LIBRARIES} support_gtest_failures
                                              GTest::gtest_main)
    if(CMAKE_CROSSCOMPILING_EMULATOR)
        set_target_properties(${ARG_NAME} PROPERTIES CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run-scaled)
        foreach(dpi ${ARG_SCALES})
            gtest_discover_tests(${ARG_NAME}
                TEST_PREFIX "${ARG_NAME}.${dpi}dpi."
                DISCOVERY_MODE PRE_TEST
                DISCOVERY_TIMEOUT 60
                PROPERTIES TIMEOUT 120 RUN_SERIAL TRUE ENVIRONMENT "NIMBREL_LOGPIXELS=${dpi}")
        endforeach()
    endif()
endfunction()
