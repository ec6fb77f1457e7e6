# Rescuing files: the tape writer, the catalog reader, the conversion of one
# image, Save and Save All through the window, and a third-party tape reader
# that must agree with the archives we write.
# rescuetestutil.h renders the log: malvorecli.
foreach(test test_tap test_catalog test_catalogrepair test_conversion test_thirdparty)
  malvore_add_core_test(${test} malvorecli ${test}.cpp rescuetestutil.h)
  target_link_libraries(${test} PRIVATE testsupport)
endforeach()
malvore_add_test(test_save test_save.cpp rescuetestutil.h)
target_link_libraries(test_save PRIVATE testsupport)
