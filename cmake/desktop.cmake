# Desktop integration: launcher, AppStream metadata, MIME type, icons,
# translations and an uninstall target. Included from the top-level
# CMakeLists.txt after the batch tool, so the targets defined there are known
# here.

set(MALVORE_APP_ID org.kestrin.malvore)
set(MALVORE_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/desktop)
set(MALVORE_TRANSLATIONS_DIR ${PROJECT_SOURCE_DIR}/translations)

# --- Launcher, metadata and icons --------------------------------------------

set(MALVORE_PROVIDED_BINARIES "    <binary>malvore</binary>")
if(TARGET malvore-rescue)
  string(APPEND MALVORE_PROVIDED_BINARIES "\n    <binary>malvore-rescue</binary>")
endif()
configure_file(${MALVORE_DESKTOP_DIR}/${MALVORE_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/${MALVORE_APP_ID}.metainfo.xml @ONLY)

install(FILES ${MALVORE_DESKTOP_DIR}/${MALVORE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/${MALVORE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The DSK image type the launcher declares (MimeType=); the shared MIME
# database has none for *.dsk.
install(FILES ${MALVORE_DESKTOP_DIR}/${MALVORE_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
        RENAME ${MALVORE_APP_ID}.xml)
install(FILES ${PROJECT_SOURCE_DIR}/resources/gfx/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${MALVORE_APP_ID}.svg)
install(FILES ${PROJECT_SOURCE_DIR}/resources/gfx/icon.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
        RENAME ${MALVORE_APP_ID}.png)

# --- Translations ------------------------------------------------------------
#
# translations/malvore.ts is the template (no language, nothing translated);
# translations/malvore_<language>.ts are the translations. Only the latter are
# compiled and embedded under ":/i18n/". The build never writes into the source
# tree: `cmake --build <dir> --target update-translations` refreshes the
# committed .ts files from the sources.

find_package(Qt5 REQUIRED COMPONENTS LinguistTools)

set(MALVORE_TS_TEMPLATE ${MALVORE_TRANSLATIONS_DIR}/malvore.ts)
file(GLOB MALVORE_TS_FILES CONFIGURE_DEPENDS ${MALVORE_TRANSLATIONS_DIR}/malvore_*.ts)
# Only the form and the window code carry translatable texts.
set(MALVORE_TRANSLATABLE_SOURCES ${PROJECT_SOURCE_DIR}/app ${PROJECT_SOURCE_DIR}/views)
# No source locations: the .ts files then change only when a text changes.
set(MALVORE_LUPDATE_OPTIONS -locations none -source-language en)

set(MALVORE_QM_DIR ${CMAKE_BINARY_DIR}/i18n)
set(MALVORE_QM_FILES)
if(MALVORE_TS_FILES)
  set_source_files_properties(${MALVORE_TS_FILES} PROPERTIES OUTPUT_LOCATION ${MALVORE_QM_DIR})
  qt5_add_translation(MALVORE_QM_FILES ${MALVORE_TS_FILES})
endif()

set(malvore_qrc_content "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <qresource prefix=\"/i18n\">\n")
foreach(qm ${MALVORE_QM_FILES})
  get_filename_component(qm_name ${qm} NAME)
  string(APPEND malvore_qrc_content "    <file>${qm_name}</file>\n")
endforeach()
string(APPEND malvore_qrc_content "  </qresource>\n</RCC>\n")
# Written through configure_file so an unchanged list keeps its time stamp.
file(WRITE ${MALVORE_QM_DIR}/malvore_translations.qrc.new "${malvore_qrc_content}")
configure_file(${MALVORE_QM_DIR}/malvore_translations.qrc.new
               ${MALVORE_QM_DIR}/malvore_translations.qrc COPYONLY)

qt5_add_resources(MALVORE_TRANSLATION_RESOURCES ${MALVORE_QM_DIR}/malvore_translations.qrc)
target_sources(malvoreui PRIVATE
  ${PROJECT_SOURCE_DIR}/app/translations.cpp
  ${PROJECT_SOURCE_DIR}/app/translations.h
  ${MALVORE_TRANSLATION_RESOURCES})

set(update_translations_commands
  COMMAND Qt5::lupdate ${MALVORE_LUPDATE_OPTIONS} -no-obsolete
          ${MALVORE_TRANSLATABLE_SOURCES} -ts ${MALVORE_TS_TEMPLATE})
if(MALVORE_TS_FILES)
  # Texts that left the sources stay in the translations as obsolete entries,
  # so a translator's work survives a text being moved or briefly removed.
  list(APPEND update_translations_commands
    COMMAND Qt5::lupdate ${MALVORE_LUPDATE_OPTIONS}
            ${MALVORE_TRANSLATABLE_SOURCES} -ts ${MALVORE_TS_FILES})
endif()
add_custom_target(update-translations ${update_translations_commands}
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  COMMENT "Refreshing the .ts files in ${MALVORE_TRANSLATIONS_DIR} from the sources"
  VERBATIM)

if(MALVORE_BUILD_TESTS)
  # Fails when a .ts file lags behind the sources (run update-translations).
  add_test(NAME test_translations_current
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/test_translations_current.sh
            $<TARGET_FILE:Qt5::lupdate> ${MALVORE_TRANSLATIONS_DIR}
            ${MALVORE_LUPDATE_OPTIONS} -- ${MALVORE_TRANSLATABLE_SOURCES})
endif()

# --- Uninstall ---------------------------------------------------------------
#
# Removes what the last `cmake --install` of this build directory wrote, as
# listed in install_manifest.txt.

set(MALVORE_UNINSTALL_SCRIPT ${CMAKE_BINARY_DIR}/malvore_uninstall.cmake)
file(WRITE ${MALVORE_UNINSTALL_SCRIPT} [==[
# Usage: cmake -DMANIFEST=<build>/install_manifest.txt -P malvore_uninstall.cmake
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} not found (run cmake --install first).")
endif()
file(STRINGS "${MANIFEST}" installed_files)
foreach(installed ${installed_files})
  if(EXISTS "${installed}" OR IS_SYMLINK "${installed}")
    message(STATUS "Removing ${installed}")
    file(REMOVE "${installed}")
    if(EXISTS "${installed}" OR IS_SYMLINK "${installed}")
      message(FATAL_ERROR "Could not remove ${installed}")
    endif()
  else()
    message(STATUS "Already gone: ${installed}")
  endif()
endforeach()
]==])
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -DMANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt
          -P ${MALVORE_UNINSTALL_SCRIPT}
  COMMENT "Removing the files of the last install"
  VERBATIM)
