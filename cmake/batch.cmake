# The headless batch rescue: the core's Open + Save All path driven from a
# command line, installed beside the window.
target_sources(malvorecore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/../rescue/batchrescue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../rescue/batchrescue.h
)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/../rescue/batchrescue.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS MALVORE_VERSION="${PROJECT_VERSION}")

add_executable(malvore-rescue ${CMAKE_CURRENT_LIST_DIR}/../app/rescue_main.cpp)
target_link_libraries(malvore-rescue PRIVATE malvorecore)
install(TARGETS malvore-rescue RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
