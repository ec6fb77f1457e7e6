# The hex view and the graphics view, driven through the main window.
malvore_add_test(test_hexview test_hexview.cpp)
target_link_libraries(test_hexview PRIVATE testsupport)

malvore_add_test(test_gfxview test_gfxview.cpp)
target_link_libraries(test_gfxview PRIVATE testsupport)
