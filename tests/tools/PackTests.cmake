# Picture packs: check-pack natively, and under Wine a screen saver built from a pack made here.
if(TARGET check-pack)
    lanternmoor_add_gtest(pack_checker_test SOURCES PackCheckerTest.cpp LIBRARIES lm_pack)
    target_compile_definitions(pack_checker_test PRIVATE
        LM_PICTURES_DIR="${CMAKE_SOURCE_DIR}/resources/pictures"
        LM_CHECK_PACK="$<TARGET_FILE:check-pack>")
endif()
