# GoogleTest from Debian's sources, built by the cross compiler, and a helper that registers a test program.
set(NIMBREL_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
add_subdirectory(${NIMBREL_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# nimbrel_add_gtest(NAME exe SOURCES ... [LIBRARIES ...])
# Builds a console test program and registers each of its test cases as a CTest test, run under Wine.
function(nimbrel_add_gtest)
    cmake_parse_arguments(ARG "" "NAME" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBRARIES} support_gtest_failures GTest::gtest_main)
    if(CMAKE_CROSSCOMPILING_EMULATOR)
        gtest_discover_tests(${ARG_NAME}
            TEST_PREFIX "${ARG_NAME}."
            DISCOVERY_MODE PRE_TEST
            DISCOVERY_TIMEOUT 60
            PROPERTIES TIMEOUT 120)
    endif()
endfunction()
