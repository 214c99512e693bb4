# Picture packs: a folder of JPEG files with captions.tsv (and credits.txt, if it has one) becomes
# the pictures (RCDATA), captions (string table, same ids) and About box credits of a screen
# saver. check-pack checks the pack and writes the resource script that embeds it; its errors stop
# the build before the screen saver is made.

set(LANTERNMOOR_PICTURES ${CMAKE_SOURCE_DIR}/resources/pictures CACHE PATH
    "The picture pack of Lanternmoor.scr: a folder of JPEG files and captions.tsv")
# tools/build-pack turns this on: the check prints a line per picture straight to the terminal, so
# that hundreds of photographs never look hung.
option(LANTERNMOOR_PACK_PROGRESS "Show the pack check picture by picture" OFF)

if(NOT WIN32)
    return()
endif()

# check-pack runs on the build machine: the Windows build makes its own native build of the tools
# (host-tools/ in its build tree), so it needs no other build tree.
include(ExternalProject)
set(LM_CHECK_PACK ${CMAKE_BINARY_DIR}/host-tools/tools/check-pack)
ExternalProject_Add(lanternmoor_host_tools
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++
               -DLANTERNMOOR_TOOLS_ONLY=ON -DLANTERNMOOR_WERROR=${LANTERNMOOR_WERROR}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target check-pack
    BUILD_BYPRODUCTS ${LM_CHECK_PACK}
    BUILD_ALWAYS ON
    INSTALL_COMMAND "")

# lanternmoor_add_screensaver(<target> PICTURES <folder> [DEPENDS <files>...])
#
# The screen saver <target>.scr: the resources of resources/Lanternmoor.rc and the pack in
# <folder>, checked first. DEPENDS names files of a pack that the build makes.
function(lanternmoor_add_screensaver target)
    cmake_parse_arguments(ARG "" "PICTURES" "DEPENDS" ${ARGN})
    get_filename_component(pack "${ARG_PICTURES}" ABSOLUTE)
    set(generated ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
    # Adding or removing a file of the pack configures anew, so the check sees the folder as it is.
    file(GLOB pack_files LIST_DIRECTORIES false CONFIGURE_DEPENDS ${pack}/*)
    if(LANTERNMOOR_PACK_PROGRESS)
        set(report USES_TERMINAL)
        set(quiet)
    else()
        set(report)
        set(quiet --quiet)
    endif()
    add_custom_command(OUTPUT ${generated}/Pictures.rc
        COMMAND ${LM_CHECK_PACK} ${quiet} --resource-script ${generated}/Pictures.rc ${pack}
        DEPENDS ${LM_CHECK_PACK} ${pack_files} ${ARG_DEPENDS}
        COMMENT "Checking the picture pack ${pack}"
        ${report}
        VERBATIM)
    file(CONFIGURE OUTPUT ${generated}/Resources.rc CONTENT
        "// The screen saver's resources and the picture pack @pack@.\n#include \"Lanternmoor.rc\"\n#include \"Pictures.rc\"\n"
        @ONLY)
    set(resources ${CMAKE_SOURCE_DIR}/resources)
    set_source_files_properties(${generated}/Pictures.rc PROPERTIES HEADER_FILE_ONLY ON)
    # windres reports no dependencies: rebuild when any file the script names changes.
    set_source_files_properties(${generated}/Resources.rc PROPERTIES OBJECT_DEPENDS
        "${generated}/Pictures.rc;${resources}/Lanternmoor.rc;${resources}/ResourceIds.h;${resources}/Lanternmoor.ico;${resources}/cogwheel.ico;${resources}/monitor.ico;${resources}/CaptionPattern.bmp;${CMAKE_BINARY_DIR}/resources/Lanternmoor.manifest;${CMAKE_BINARY_DIR}/resources/Version.h")
    add_library(${target}_resources OBJECT ${generated}/Resources.rc ${generated}/Pictures.rc)
    target_include_directories(${target}_resources PRIVATE
        ${generated} ${resources} ${CMAKE_BINARY_DIR}/resources)
    add_executable(${target} WIN32 ${CMAKE_SOURCE_DIR}/shell/WinMain_win32.cpp
        $<TARGET_OBJECTS:${target}_resources>)
    target_link_libraries(${target} PRIVATE lm_shell_win32 lanternmoor_options)
    # Without symbols and with section names of at most 8 characters, the file ends with its last
    # section: nothing after it for a tool that rewrites its resources (Wine's resource update
    # moves the sections, not a symbol table behind them) to leave pointing astray.
    target_link_options(${target} PRIVATE -s -Wl,--disable-long-section-names)
    set_target_properties(${target} PROPERTIES SUFFIX ".scr")
endfunction()
