if(TARGET preview AND TARGET picture_edit)
  kastra_bench(bench_preview SOURCES bench_preview.cpp LIBS preview picture_edit JPEG::JPEG)
  target_include_directories(bench_preview PRIVATE ${PROJECT_SOURCE_DIR}/tests)
endif()
