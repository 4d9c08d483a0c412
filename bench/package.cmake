# The whole package build beside makesis alone on the same package folder.
if(TARGET package)
  kastra_bench(bench_build SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/bench_build.cpp
    LIBS package converter workspace platform imaging symbian Qt6::Core)
  add_dependencies(bench_build payloads)
endif()
