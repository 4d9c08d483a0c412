# bmconv on a 508-bitmap set shaped like Avkon.mbm, against the time to merely
# read and write the same BMP files.
if(TARGET bmconv_core)
  kastra_bench(bench_mbm SOURCES bench_mbm.cpp LIBS bmconv_core)
  target_include_directories(bench_mbm PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endif()
