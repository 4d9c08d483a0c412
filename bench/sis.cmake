# makesis and SISTool on a theme-sized package, beside zlib alone.
kastra_bench(bench_sis SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_sis.cpp LIBS symbian ZLIB::ZLIB)
target_compile_definitions(bench_sis PRIVATE KASTRA_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_dependencies(bench_sis makesis sistool)
