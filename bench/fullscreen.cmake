# The full-screen present at three screen sizes, beside SDL2's own scaled
# blit of the same frames. Included from bench/CMakeLists.txt.
if(TARGET tumbla_host_sdl_choice)
  add_executable(bench_fullscreen ${CMAKE_CURRENT_LIST_DIR}/fullscreen_bench.cpp)
  target_link_libraries(bench_fullscreen PRIVATE tumbla_host_sdl_choice tumbla_platform PkgConfig::SDL2
                        benchmark::benchmark)
  target_include_directories(bench_fullscreen PRIVATE ${CMAKE_SOURCE_DIR})
endif()
