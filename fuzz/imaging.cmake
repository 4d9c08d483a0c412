kastra_fuzzer(bmp SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_bmp.cpp LIBS imaging
              CRASHERS ${PROJECT_SOURCE_DIR}/tests/crashers/bmp)
kastra_fuzzer(jpeg SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_jpeg.cpp LIBS imaging
              CRASHERS ${PROJECT_SOURCE_DIR}/tests/crashers/jpeg)
