# Package scripts, SIS writing and reading, and the makesis and SISTool
# executables (run from build/bin with a temporary folder as current directory).
kastra_test(test_sis
  SOURCES test_sis.cpp test_pkg.cpp test_makesis.cpp test_makesis_parity.cpp test_sistool.cpp
  LIBS symbian ZLIB::ZLIB)
add_dependencies(test_sis makesis sistool)
