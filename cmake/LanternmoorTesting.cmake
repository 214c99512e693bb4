# GoogleTest for both builds: Debian's package natively, its sources compiled with MinGW for Wine.
include(GoogleTest)

if(CMAKE_CROSSCOMPILING)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/_deps/googletest EXCLUDE_FROM_ALL)
    # The win32 thread model's libstdc++ (GCC 12) has no std::mutex, with which GoogleTest's
    # Notification waits: ours, in GoogleTest's customisation header, replaces it.
    target_include_directories(gtest BEFORE PUBLIC ${CMAKE_SOURCE_DIR}/tests/googletest)
    # googletest's own build names its targets GTest::gtest, GTest::gtest_main and GTest::gmock.
else()
    find_package(GTest REQUIRED)
endif()

# lanternmoor_add_gtest(<name> SOURCES <files...> [LIBRARIES <libs...>] [PROPERTIES <test props...>])
#
# Natively every test case becomes its own ctest entry (label "native"). In the Windows build the
# whole executable is one ctest entry run under Wine (label "wine"), since each Wine start costs
# a fraction of a second.
function(lanternmoor_add_gtest name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES;PROPERTIES" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} GTest::gmock GTest::gtest_main lanternmoor_options)
    if(CMAKE_CROSSCOMPILING)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES LABELS wine TIMEOUT 300 ${ARG_PROPERTIES})
    else()
        gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
            PROPERTIES LABELS native TIMEOUT 300 ${ARG_PROPERTIES})
    endif()
endfunction()
