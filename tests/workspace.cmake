# The workspace and converter layers, on real folders with the real bmconv
# (carried as the EXTPROGS/BMC payload of the workspace library).
if(TARGET converter)
  kastra_test(test_workspace SOURCES test_workspace.cpp LIBS converter workspace symbian)
  kastra_test(test_converter SOURCES test_converter.cpp LIBS converter workspace symbian)
  kastra_test(test_theme_files SOURCES test_theme_files.cpp LIBS converter workspace symbian)
endif()
