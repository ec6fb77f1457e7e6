# Reading disk images: the two container readers, format detection and the
# Open command with its image table, plus the committed sample images.
malvore_add_core_test(test_readers malvorecli test_readers.cpp)
target_link_libraries(test_readers PRIVATE testsupport)

malvore_add_core_test(test_detect malvorecore test_detect.cpp)
target_link_libraries(test_detect PRIVATE testsupport)

malvore_add_test(test_open test_open.cpp)
target_link_libraries(test_open PRIVATE testsupport)
target_compile_definitions(test_open PRIVATE
  MALVORE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
# A file dialog that could not be closed must not hold the run for long.
set_tests_properties(test_readers test_detect test_open PROPERTIES TIMEOUT 300)
