# Cross-compiles for 32-bit Windows with Debian's MinGW-w64, win32 thread model. Its runtime
# imports nothing newer than Windows XP; the posix model's (winpthreads) imports GetTickCount64
# and other Vista and NT-only calls, so a screen saver built with it cannot start on XP.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CMake determines a build tree's compilers once and keeps them. A tree configured before with
# other compilers (the posix model's) forgets them here, so that these are determined anew.
foreach(lm_language C CXX)
    set(lm_determined
        ${CMAKE_BINARY_DIR}/CMakeFiles/${CMAKE_VERSION}/CMake${lm_language}Compiler.cmake)
    if(EXISTS ${lm_determined})
        file(STRINGS ${lm_determined} lm_line REGEX "^set\\(CMAKE_${lm_language}_COMPILER \"")
        string(REGEX REPLACE "^set\\(CMAKE_${lm_language}_COMPILER \"([^\"]*)\"\\)$" "\\1"
            lm_path "${lm_line}")
        get_filename_component(lm_name "${lm_path}" NAME)
        if(NOT lm_name STREQUAL CMAKE_${lm_language}_COMPILER)
            file(REMOVE ${lm_determined})
            unset(CMAKE_${lm_language}_COMPILER_AR CACHE)
            unset(CMAKE_${lm_language}_COMPILER_RANLIB CACHE)
        endif()
    endif()
endforeach()
foreach(lm_variable lm_language lm_determined lm_line lm_path lm_name)
    unset(${lm_variable})
endforeach()
