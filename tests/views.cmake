# The hex view and the graphics view, driven through the main window.
malvore_add_test(test_hexview test_hexview.cpp)
target_link_libraries(test_hexview PRIVATE testsupport)

malvore_add_test(test_gfxview test_gfxview.cpp)
target_link_libraries(test_gfxview PRIVATE testsupport)

# Previews: BASIC listings against listbasic, screen pictures, exports.
malvore_add_test(test_previews test_previews.cpp)
target_link_libraries(test_previews PRIVATE testsupport)
target_compile_definitions(test_previews PRIVATE MALVORE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# The files page: rows and verdicts, check boxes and Save, dragging files out.
malvore_add_test(test_filespage test_filespage.cpp damageddisk.h)
target_link_libraries(test_filespage PRIVATE testsupport)
target_compile_definitions(test_filespage PRIVATE MALVORE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
