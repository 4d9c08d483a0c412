# Start-up from an empty disk to a prepared workspace, against writing the
# same slot files directly.
if(TARGET converter)
  kastra_bench(bench_startup SOURCES bench_startup.cpp LIBS workspace converter)
endif()
