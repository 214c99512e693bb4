# Picture packs: check-pack natively, and under Wine screen savers built from packs made here.

# One upright picture stored under each EXIF orientation (no credits.txt).
set(oriented ${CMAKE_CURRENT_BINARY_DIR}/oriented-pack)
set(oriented_files ${oriented}/captions.tsv ${oriented}/upright.ppm)
foreach(name 1-as-stored 2-mirrored 3-turned-180 4-mirrored-180 5-mirrored-turned-left
        6-turned-right 7-mirrored-turned-right 8-turned-left)
    list(APPEND oriented_files ${oriented}/${name}.jpg)
endforeach()
add_custom_command(OUTPUT ${oriented_files}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/make-test-packs.sh ${CMAKE_CURRENT_BINARY_DIR} oriented-pack
    DEPENDS make-test-packs.sh
    COMMENT "Making the oriented picture pack of the tests"
    VERBATIM)
add_custom_target(oriented_pack DEPENDS ${oriented_files})

if(TARGET check-pack)
    lanternmoor_add_gtest(pack_checker_test SOURCES PackCheckerTest.cpp LIBRARIES lm_pack)
    target_compile_definitions(pack_checker_test PRIVATE
        LM_PICTURES_DIR="${CMAKE_SOURCE_DIR}/resources/pictures"
        LM_CHECK_PACK="$<TARGET_FILE:check-pack>"
        LM_PACK_TESTS_DIR="${CMAKE_CURRENT_BINARY_DIR}/pack-tests")
    # Every output path turns them upright, as ImageMagick's -auto-orient does.
    lanternmoor_add_gtest(pack_resources_test SOURCES PackResourcesTest.cpp
        LIBRARIES lm_pack_resources)
    target_compile_definitions(pack_resources_test PRIVATE
        LM_PACK_TESTS_DIR="${CMAKE_CURRENT_BINARY_DIR}/pack-tests")
    lanternmoor_add_gtest(oriented_pack_test SOURCES OrientedPackTest.cpp LIBRARIES lm_pack)
    target_compile_definitions(oriented_pack_test PRIVATE LM_ORIENTED_PACK="${oriented}")
    add_dependencies(oriented_pack_test oriented_pack)
endif()

if(WIN32)
    # Screen savers of packs made at build time, run full screen: their pictures and captions on
    # screen in the pack's order, upright; their About boxes with the pack's credits or none.
    set(pack ${CMAKE_CURRENT_BINARY_DIR}/test-pack)
    set(pack_files ${pack}/captions.tsv ${pack}/credits.txt ${pack}/zebra.jpg ${pack}/200.jpg
        ${pack}/apple.jpg)
    add_custom_command(OUTPUT ${pack_files}
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/make-test-packs.sh ${CMAKE_CURRENT_BINARY_DIR} test-pack
        DEPENDS make-test-packs.sh
        COMMENT "Making the picture pack of the tests"
        VERBATIM)
    lanternmoor_add_screensaver(LanternmoorTestPack PICTURES ${pack} DEPENDS ${pack_files})
    lanternmoor_add_screensaver(LanternmoorOrientedPack PICTURES ${oriented}
        DEPENDS ${oriented_files})
    # LanternmoorPack.exe makes a screen saver of the same pack and answers every pack of
    # check-pack's table: what it prints, then compared with check-pack's own lines.
    set(tool_packs ${CMAKE_CURRENT_BINARY_DIR}/tool-packs)
    lanternmoor_add_gtest(pack_show_test SOURCES PackShowTest_win32.cpp
        LIBRARIES lm_wine_harness lm_slideshow lm_processor lm_pack_file_win32
        PROPERTIES RESOURCE_LOCK wine_session FIXTURES_SETUP lanternmoor_pack_outputs)
    target_compile_definitions(pack_show_test PRIVATE
        LM_PACK_SCR="$<TARGET_FILE:LanternmoorTestPack>" LM_TEST_PACK="${pack}"
        LM_ORIENTED_SCR="$<TARGET_FILE:LanternmoorOrientedPack>" LM_ORIENTED_PACK="${oriented}"
        LM_VERSION="${PROJECT_VERSION}" LM_PACK_TOOL="$<TARGET_FILE:LanternmoorPack>"
        LM_TOOL_PACKS="${tool_packs}" LM_PICTURES_DIR="${CMAKE_SOURCE_DIR}/resources/pictures")
    add_dependencies(pack_show_test LanternmoorTestPack LanternmoorOrientedPack LanternmoorPack
        Lanternmoor)
    add_test(NAME lanternmoor_pack_prints_what_check_pack_prints
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/same-as-check-pack.sh ${LM_CHECK_PACK} ${tool_packs}
                ${CMAKE_SOURCE_DIR}/tests/imports/check-imports ${CMAKE_OBJDUMP})
    set_tests_properties(lanternmoor_pack_prints_what_check_pack_prints PROPERTIES
        LABELS native FIXTURES_REQUIRED lanternmoor_pack_outputs)
endif()
