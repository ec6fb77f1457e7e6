# Desktop integration: the installed tree and the translations.

# Evaluated after configuration, so a batch tool defined later is seen.
add_test(NAME test_install
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/test_install.sh
          ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR}
          $<TARGET_EXISTS:malvore-rescue> ${CMAKE_BINARY_DIR}/malvore_uninstall.cmake)
# Installing rewrites the build's install manifest.
set_tests_properties(test_install PROPERTIES RESOURCE_LOCK install_manifest)

malvore_add_test(test_translations test_translations.cpp)
target_compile_definitions(test_translations PRIVATE
  MALVORE_TRANSLATIONS_DIR="${PROJECT_SOURCE_DIR}/translations")
# As a German desktop session would start the program.
set_property(TEST test_translations APPEND PROPERTY ENVIRONMENT
  "LC_ALL=de_DE.UTF-8" "LANGUAGE=de_DE:de")

# test_translations_current is defined next to the lupdate options in
# cmake/desktop.cmake, so the check and update-translations cannot drift apart.
