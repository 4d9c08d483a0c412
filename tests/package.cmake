# The package builder: the script, the build end to end, theme import and the
# loaders, and the kastra-theme command line (run from build/bin).
if(TARGET package)
  kastra_test(test_package
    SOURCES test_package_script.cpp test_package_build.cpp test_package_import.cpp test_package_cli.cpp
    LIBS package converter workspace platform imaging symbian Qt6::Core)
  add_dependencies(test_package kastra-theme sistool makesis bmconv payloads)
endif()

# kastra-theme preview against the window's painters, which need a
# QGuiApplication for their fonts.
if(TARGET package AND TARGET preview)
  kastra_test(test_package_preview
    SOURCES qt_gui_main.cpp test_package_preview.cpp
    LIBS package preview converter workspace platform imaging symbian Qt6::Gui)
  add_dependencies(test_package_preview kastra-theme sistool makesis bmconv payloads)
endif()
