kastra_fuzzer(mbm SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_mbm_reader.cpp LIBS symbian
              CRASHERS ${PROJECT_SOURCE_DIR}/tests/crashers/mbm)
kastra_fuzzer(bmconv_cmd SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_mbm_command.cpp LIBS symbian
              CRASHERS ${PROJECT_SOURCE_DIR}/tests/crashers/bmconv_cmd)
