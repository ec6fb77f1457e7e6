malvore_add_test(test_window test_window.cpp)
target_link_libraries(test_window PRIVATE testsupport)

# The window's command line; --help and --version are printed without any
# display (the X11 platform without DISPLAY would fail to start a window).
malvore_add_test(test_commandline test_commandline.cpp)
target_link_libraries(test_commandline PRIVATE testsupport)
foreach(request help version)
  add_test(NAME malvore_${request}_without_display
           COMMAND env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb $<TARGET_FILE:malvore> --${request})
endforeach()
set_tests_properties(malvore_help_without_display PROPERTIES
  PASS_REGULAR_EXPRESSION "^Usage: malvore \\[FILE\\.\\.\\.\\]")
set_tests_properties(malvore_version_without_display PROPERTIES
  PASS_REGULAR_EXPRESSION "^TOS Malvore ${PROJECT_VERSION}\n$")
# A usage error exits with status 2.
add_test(NAME malvore_wrong_option_without_display
         COMMAND sh -c "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb \"$1\" --bogus 2>/dev/null; test $? -eq 2"
                 sh $<TARGET_FILE:malvore>)
add_test(NAME malvore_wrong_option_says_so
         COMMAND env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb $<TARGET_FILE:malvore> --bogus)
set_tests_properties(malvore_wrong_option_says_so PROPERTIES
  PASS_REGULAR_EXPRESSION "^malvore: Unknown option 'bogus'\.\nUsage: malvore")

# Growing the list, the output folder, refusals, Save's summary and
# progress, recent files.
malvore_add_test(test_window_rescue test_window_rescue.cpp rescuetestutil.h)
target_link_libraries(test_window_rescue PRIVATE testsupport)
target_compile_definitions(test_window_rescue PRIVATE MALVORE_SOURCE_DIR="${PROJECT_SOURCE_DIR}")

# The sector map page and the hex view's navigation.
malvore_add_test(test_sectormap test_sectormap.cpp)
target_link_libraries(test_sectormap PRIVATE testsupport)

# Damaged disks in the window: salvage mode, merging reads, the best image,
# the sector report.
malvore_add_test(test_window_salvage test_window_salvage.cpp damageddisk.h)
target_link_libraries(test_window_salvage PRIVATE testsupport)
