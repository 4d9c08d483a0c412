# The previews and the live refresh draw text and wait for file
# notifications, so they run under a QGuiApplication (qt_gui_main.cpp).
if(TARGET preview AND TARGET picture_edit)
  kastra_test(test_preview
    SOURCES qt_gui_main.cpp test_desktop_painter.cpp test_thumbnails_painter.cpp
            test_status_animation.cpp test_menu_painter.cpp
    LIBS preview)
  add_dependencies(test_preview payloads)

  kastra_test(test_picture_edit
    SOURCES qt_gui_main.cpp test_schemes.cpp test_picture_import.cpp test_no_signal_mask.cpp
    LIBS picture_edit preview JPEG::JPEG)

  kastra_test(test_slot_watcher
    SOURCES qt_gui_main.cpp test_slot_watcher.cpp
    LIBS preview picture_edit Qt6::Test)
endif()
