kastra_bench(bench_fit SOURCES bench_fit.cpp LIBS imaging JPEG::JPEG)
target_include_directories(bench_fit PRIVATE ${PROJECT_SOURCE_DIR}/tests)
