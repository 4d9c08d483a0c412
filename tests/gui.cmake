# Window tests: a QApplication with the program's style on the offscreen
# platform (gui/gui_main.cpp) in place of gtest's own main.
kastra_test(test_settings SOURCES test_settings.cpp LIBS appcore)
kastra_test(test_main_form SOURCES gui/gui_main.cpp gui/test_main_form.cpp LIBS appwindow Qt6::Test)
kastra_test(test_settings_page SOURCES gui/gui_main.cpp gui/test_settings_page.cpp LIBS appwindow Qt6::Test)
kastra_test(test_slot_openers SOURCES gui/gui_main.cpp gui/test_slot_openers.cpp LIBS appwindow Qt6::Test)
kastra_test(test_theme_file_buttons SOURCES gui/gui_main.cpp gui/test_theme_file_buttons.cpp LIBS appwindow Qt6::Test)
kastra_test(test_window_flows SOURCES gui/gui_main.cpp gui/test_window_flows.cpp LIBS appwindow Qt6::Test)
