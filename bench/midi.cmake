# The MIDI file converter's benchmark: events a second packed into stream
# buffers, and the memory held for a 1 MB and a 10 MB song side by side.
# Included from bench/CMakeLists.txt.
find_package(benchmark REQUIRED)
add_executable(bench_midi ${CMAKE_CURRENT_LIST_DIR}/midi_bench.cpp)
target_link_libraries(bench_midi PRIVATE tumbla_game tumbla_host_headless tumbla_resources tumbla_platform
                      benchmark::benchmark)
