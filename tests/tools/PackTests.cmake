# Picture packs: check-pack natively, and under Wine a screen saver built from a pack made here.
if(TARGET check-pack)
    lanternmoor_add_gtest(pack_checker_test SOURCES PackCheckerTest.cpp LIBRARIES lm_pack)
    target_compile_definitions(pack_checker_test PRIVATE
        LM_PICTURES_DIR="${CMAKE_SOURCE_DIR}/resources/pictures"
        LM_CHECK_PACK="$<TARGET_FILE:check-pack>"
        LM_PACK_TESTS_DIR="${CMAKE_CURRENT_BINARY_DIR}/pack-tests")
endif()

if(WIN32)
    # A screen saver of a pack made at build time, run full screen: its pictures and captions on
    # screen in the pack's order.
    set(pack ${CMAKE_CURRENT_BINARY_DIR}/test-pack)
    set(pack_files ${pack}/captions.tsv ${pack}/zebra.jpg ${pack}/200.jpg ${pack}/apple.jpg)
    add_custom_command(OUTPUT ${pack_files}
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/make-test-pack.sh ${pack}
        DEPENDS make-test-pack.sh
        COMMENT "Making the picture pack of the tests"
        VERBATIM)
    lanternmoor_add_screensaver(LanternmoorTestPack PICTURES ${pack} DEPENDS ${pack_files})
    lanternmoor_add_gtest(pack_show_test SOURCES PackShowTest_win32.cpp
        LIBRARIES lm_wine_harness lm_slideshow lm_processor
        PROPERTIES RESOURCE_LOCK wine_session)
    target_compile_definitions(pack_show_test PRIVATE
        LM_PACK_SCR="$<TARGET_FILE:LanternmoorTestPack>" LM_TEST_PACK="${pack}")
    add_dependencies(pack_show_test LanternmoorTestPack)
endif()
