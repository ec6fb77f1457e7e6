# The batch rescue tool and the fuzzing of the rescue path: whole disks for
# seeds, tests and benchmarks; the tool's tests; the replay of fuzz findings.
add_library(tosdisk STATIC fuzz/tosdisk.cpp fuzz/tosdisk.h)
target_link_libraries(tosdisk PUBLIC testsupport)
target_include_directories(tosdisk PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)

# Also compares the tree and the log with the window's Save All: the window's
# library.
malvore_add_test(test_batch test_batch.cpp)
target_link_libraries(test_batch PRIVATE tosdisk)
add_dependencies(test_batch malvore-rescue)
target_compile_definitions(test_batch PRIVATE
  MALVORE_RESCUE_PATH="$<TARGET_FILE:malvore-rescue>"
  MALVORE_SAMPLES_DIR="${PROJECT_SOURCE_DIR}/samples")

malvore_add_core_test(test_fuzz_regressions malvorecli test_fuzz_regressions.cpp fuzz/rescuepath.cpp fuzz/rescuepath.h)
target_include_directories(test_fuzz_regressions PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)
target_compile_definitions(test_fuzz_regressions PRIVATE
  MALVORE_REGRESSIONS_DIR="${CMAKE_CURRENT_SOURCE_DIR}/fuzz/regressions")

# Nothing lost, nothing overwritten: hostile names, links, full files, odd inputs.
malvore_add_core_test(test_safeoutput malvorecli test_safeoutput.cpp batchtestutil.h)
target_link_libraries(test_safeoutput PRIVATE tosdisk)
add_dependencies(test_safeoutput malvore-rescue)
target_compile_definitions(test_safeoutput PRIVATE MALVORE_RESCUE_PATH="$<TARGET_FILE:malvore-rescue>")

# Salvage of damaged disks: states, weak copies, merges, the best image, reports.
# Also draws the table's map picture (views/): the window's library.
malvore_add_test(test_salvage test_salvage.cpp batchtestutil.h)
target_link_libraries(test_salvage PRIVATE tosdisk)
target_compile_definitions(test_salvage PRIVATE MALVORE_RESCUE_PATH="$<TARGET_FILE:malvore-rescue>")
