# The MBM codec and bmconv.
kastra_test(test_mbm SOURCES test_mbm.cpp test_mbm_colour.cpp test_mbm_command.cpp LIBS symbian)

# The command-line tool itself, run as a program through a POSIX shell; the
# test reads and writes BMP files with the picture library.
if(TARGET bmconv AND UNIX)
  kastra_test(test_bmconv SOURCES test_bmconv.cpp LIBS symbian imaging)
  add_dependencies(test_bmconv bmconv)
endif()
