# The sound mixer's benchmark: one second of 44.1 kHz stereo with eight
# voices, our DirectSound mixer beside SDL2's conversion and mixing.
# Included from bench/CMakeLists.txt.
find_package(benchmark REQUIRED)
if(TARGET PkgConfig::SDL2)
  add_executable(bench_mix ${CMAKE_CURRENT_LIST_DIR}/mix_bench.cpp)
  target_link_libraries(bench_mix PRIVATE tumbla_host_headless tumbla_platform PkgConfig::SDL2 benchmark::benchmark)
endif()
