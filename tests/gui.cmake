# Window tests: a QApplication on the offscreen platform (gui/gui_main.cpp)
# instead of gtest_main.
function(kastra_gui_test name)
  cmake_parse_arguments(T "" "" "SOURCES" ${ARGN})
  add_executable(${name} ${T_SOURCES} gui/gui_main.cpp)
  target_link_libraries(${name} PRIVATE appwindow Qt6::Test GTest::gtest GTest::gmock)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/gui)
  target_compile_definitions(${name} PRIVATE
    KASTRA_TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data"
    KASTRA_CRASHERS_DIR="${CMAKE_CURRENT_SOURCE_DIR}/crashers"
    KASTRA_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  kastra_target(${name})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()

kastra_test(test_settings SOURCES test_settings.cpp LIBS appcore)
kastra_gui_test(test_main_form SOURCES gui/test_main_form.cpp)
kastra_gui_test(test_settings_page SOURCES gui/test_settings_page.cpp)
kastra_gui_test(test_slot_openers SOURCES gui/test_slot_openers.cpp)
kastra_gui_test(test_theme_file_buttons SOURCES gui/test_theme_file_buttons.cpp)
kastra_gui_test(test_window_flows SOURCES gui/test_window_flows.cpp)
