# WebAssembly builds with Emscripten (emcmake cmake ... -DTUMBLA_RC=<native tumbla_rc>).
# No threads: the browser would need cross-origin isolation for them, and the
# stand-in does its threads' work from the main loop when it has none.

# The watch for Node, reading and writing the real file system, so that its
# output can be compared with the native program's.
target_link_options(tumbla_watch PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1
                    -sALLOW_MEMORY_GROWTH=1)

# The page: the game over the web host. FluidSynth comes compiled to
# WebAssembly with the npm package js-synthesizer (LGPL-2.1), the soundfont
# from Debian's timgm6mb-soundfont; both are copied into the bundle.
set(TUMBLA_LIBFLUIDSYNTH_JS "" CACHE FILEPATH "libfluidsynth-*.js of js-synthesizer's externals/")
set(TUMBLA_SOUNDFONT "/usr/share/sounds/sf2/TimGM6mb.sf2" CACHE FILEPATH "General MIDI soundfont for the page")
set(TUMBLA_WEB_DIR "${CMAKE_BINARY_DIR}/web" CACHE PATH "Where the page and its files go")

file(GLOB TUMBLA_WEB_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/platform/host/web/*.cpp)
add_executable(tumbla_web platform/main.cpp ${TUMBLA_WEB_SOURCES})
target_link_libraries(tumbla_web PRIVATE tumbla_game tumbla_resources tumbla_platform)
set_target_properties(tumbla_web PROPERTIES OUTPUT_NAME tumbla RUNTIME_OUTPUT_DIRECTORY ${TUMBLA_WEB_DIR})
set(_web_data)
if(EXISTS ${TUMBLA_SOUNDFONT})
  list(APPEND _web_data "SHELL:--preload-file ${TUMBLA_SOUNDFONT}@/soundfont.sf2")
endif()
target_link_options(tumbla_web PRIVATE
  -sENVIRONMENT=web -sMODULARIZE=1 -sEXPORT_NAME=createTumbla -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536
  -sALLOW_MEMORY_GROWTH=1 -sEXIT_RUNTIME=1 -sEXPORTED_RUNTIME_METHODS=FS
  "SHELL:--preload-file ${CMAKE_CURRENT_SOURCE_DIR}/sample_data/sw5.mid@/sample_data/sw5.mid" ${_web_data})

set(_page ${CMAKE_CURRENT_SOURCE_DIR}/platform/host/web/page)
set(_web_files index.html tumbla_page.js audio_worklet.js)
set(_web_outputs)
foreach(f IN LISTS _web_files)
  add_custom_command(OUTPUT ${TUMBLA_WEB_DIR}/${f}
    COMMAND ${CMAKE_COMMAND} -E copy ${_page}/${f} ${TUMBLA_WEB_DIR}/${f}
    DEPENDS ${_page}/${f})
  list(APPEND _web_outputs ${TUMBLA_WEB_DIR}/${f})
endforeach()
add_custom_command(OUTPUT ${TUMBLA_WEB_DIR}/tumbla.png
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/docs/screenshot.png ${TUMBLA_WEB_DIR}/tumbla.png
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/docs/screenshot.png)
list(APPEND _web_outputs ${TUMBLA_WEB_DIR}/tumbla.png)
if(TUMBLA_LIBFLUIDSYNTH_JS)
  get_filename_component(_fluid_dir ${TUMBLA_LIBFLUIDSYNTH_JS} DIRECTORY)
  add_custom_command(OUTPUT ${TUMBLA_WEB_DIR}/libfluidsynth.js ${TUMBLA_WEB_DIR}/LICENSE.fluidsynth.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${TUMBLA_LIBFLUIDSYNTH_JS} ${TUMBLA_WEB_DIR}/libfluidsynth.js
    COMMAND ${CMAKE_COMMAND} -E copy ${_fluid_dir}/LICENSE.fluidsynth.txt ${TUMBLA_WEB_DIR}/LICENSE.fluidsynth.txt
    DEPENDS ${TUMBLA_LIBFLUIDSYNTH_JS})
  list(APPEND _web_outputs ${TUMBLA_WEB_DIR}/libfluidsynth.js)
else()
  message(WARNING "No TUMBLA_LIBFLUIDSYNTH_JS: the page will play without music")
endif()
add_custom_target(tumbla_web_page ALL DEPENDS ${_web_outputs})
add_dependencies(tumbla_web tumbla_web_page)
