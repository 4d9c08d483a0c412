# The settings-file reader and writer.
kastra_fuzzer(ini SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_ini.cpp LIBS platform
              CRASHERS ${PROJECT_SOURCE_DIR}/tests/crashers/ini)
