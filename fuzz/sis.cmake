# Fuzz harnesses of the SIS reader and the package-script parser; their
# replay tests run every sample in tests/crashers/sis and tests/crashers/pkg.
kastra_fuzzer(sis SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_sis.cpp LIBS symbian
  CRASHERS ${PROJECT_SOURCE_DIR}/tests/crashers/sis)
kastra_fuzzer(pkg SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_pkg.cpp LIBS symbian
  CRASHERS ${PROJECT_SOURCE_DIR}/tests/crashers/pkg)
