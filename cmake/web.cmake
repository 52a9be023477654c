# WebAssembly builds with Emscripten (emcmake cmake ... -DTUMBLA_RC=<native tumbla_rc>).
# No threads: the browser would need cross-origin isolation for them, and the
# stand-in does its threads' work from the main loop when it has none.

# The watch for Node, reading and writing the real file system, so that its
# output can be compared with the native program's.
target_link_options(tumbla_watch PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1
                    -sALLOW_MEMORY_GROWTH=1)

# The page: the game over the web host. FluidSynth comes compiled to
# WebAssembly with the npm package js-synthesizer (LGPL-2.1), the soundfont
# is Debian's timgm6mb-soundfont (GPL-2) cut down by the native sf2_trim
# (tools/soundfont) to the presets the page's song plays. The page fetches
# each as a file of its own, so that either can fail alone.
set(TUMBLA_LIBFLUIDSYNTH_JS "" CACHE FILEPATH "libfluidsynth-*.js of js-synthesizer's externals/")
set(TUMBLA_SOUNDFONT "/usr/share/sounds/sf2/TimGM6mb.sf2" CACHE FILEPATH "General MIDI soundfont the page's font is cut from")
set(TUMBLA_SF2TRIM "" CACHE FILEPATH "The native sf2_trim (tools/soundfont)")
set(TUMBLA_ICON_GEN "" CACHE FILEPATH "The native icon_gen (tools/sheet), for the installed page's icons")
set(TUMBLA_WEB_DIR "${CMAKE_BINARY_DIR}/web" CACHE PATH "Where the page and its files go")
# The most memory the game's and FluidSynth's WebAssembly may grow to (MiB):
# what each uses, 16 and 64 MiB (FluidSynth starts with 64 and keeps to it),
# with room to spare.
set(TUMBLA_WEB_MAX_MIB 32 CACHE STRING "The game's maximum WebAssembly memory (MiB)")
set(TUMBLA_FLUID_MAX_MIB 80 CACHE STRING "FluidSynth's maximum WebAssembly memory (MiB)")
math(EXPR _web_max_bytes "${TUMBLA_WEB_MAX_MIB} * 1048576")

tumbla_host(web keys synth bytes)
# Copies and fills as WebAssembly's own memory.copy and memory.fill, at the
# engine's speed, rather than calls to the C library's loops: the game clears
# and copies whole pictures every frame. (Every engine the page runs in has
# them: Chrome 75, Firefox 79, Safari 15.)
foreach(_target tumbla_platform tumbla_game tumbla_host_web_base tumbla_host_web_keys tumbla_host_web_synth
                tumbla_host_web_bytes)
  target_compile_options(${_target} PRIVATE -mbulk-memory)
endforeach()
add_executable(tumbla_web platform/main.cpp)
target_link_libraries(tumbla_web PRIVATE tumbla_game tumbla_host_web tumbla_resources tumbla_platform)
set_target_properties(tumbla_web PROPERTIES OUTPUT_NAME tumbla RUNTIME_OUTPUT_DIRECTORY ${TUMBLA_WEB_DIR})
target_link_options(tumbla_web PRIVATE
  -mbulk-memory -sENVIRONMENT=web -sMODULARIZE=1 -sEXPORT_NAME=createTumbla -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=65536
  # The game uses its first 16 MiB and grows no further (the browser test
  # prints the peak); a browser reserves the maximum a module declares, and
  # a phone refuses the 2 GiB Emscripten would declare.
  -sALLOW_MEMORY_GROWTH=1 -sMAXIMUM_MEMORY=${_web_max_bytes} -sEXIT_RUNTIME=1 -sEXPORTED_RUNTIME_METHODS=FS
  # Small before fast: the page is downloaded by every player, and the
  # game's time goes to the browser's drawing, not to its own code.
  -Oz
  "SHELL:--preload-file ${CMAKE_CURRENT_SOURCE_DIR}/sample_data/sw5.mid@/sample_data/sw5.mid")

set(_page ${CMAKE_CURRENT_SOURCE_DIR}/platform/host/web/page)
find_program(TUMBLA_NODE NAMES node nodejs REQUIRED NO_CMAKE_FIND_ROOT_PATH)
set(_web_files index.html tumbla_page.js audio_worklet.js manifest.webmanifest)
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
  add_custom_command(OUTPUT ${TUMBLA_WEB_DIR}/libfluidsynth.js ${TUMBLA_WEB_DIR}/libfluidsynth.wasm
                            ${TUMBLA_WEB_DIR}/LICENSE.fluidsynth.txt
    COMMAND ${TUMBLA_NODE} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/web_split_wasm.mjs ${TUMBLA_LIBFLUIDSYNTH_JS}
            ${TUMBLA_WEB_DIR}/libfluidsynth.js ${TUMBLA_WEB_DIR}/libfluidsynth.wasm ${TUMBLA_FLUID_MAX_MIB}
    COMMAND ${CMAKE_COMMAND} -E copy ${_fluid_dir}/LICENSE.fluidsynth.txt ${TUMBLA_WEB_DIR}/LICENSE.fluidsynth.txt
    DEPENDS ${TUMBLA_LIBFLUIDSYNTH_JS} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/web_split_wasm.mjs
            ${CMAKE_CURRENT_SOURCE_DIR}/cmake/wasm_memory.mjs)
  list(APPEND _web_outputs ${TUMBLA_WEB_DIR}/libfluidsynth.js)
else()
  message(WARNING "No TUMBLA_LIBFLUIDSYNTH_JS: the page will play without music")
endif()
set(_web_songs ${CMAKE_CURRENT_SOURCE_DIR}/sample_data/sw5.mid)
if(TUMBLA_SF2TRIM AND EXISTS ${TUMBLA_SOUNDFONT})
  add_custom_command(OUTPUT ${TUMBLA_WEB_DIR}/tumbla.sf2 ${TUMBLA_WEB_DIR}/LICENSE.soundfont.txt
    COMMAND ${TUMBLA_SF2TRIM} ${TUMBLA_SOUNDFONT} ${TUMBLA_WEB_DIR}/tumbla.sf2 ${_web_songs}
    COMMAND ${CMAKE_COMMAND} -E cat ${_page}/soundfont-note.txt /usr/share/common-licenses/GPL-2
            > ${TUMBLA_WEB_DIR}/LICENSE.soundfont.txt
    DEPENDS ${TUMBLA_SF2TRIM} ${TUMBLA_SOUNDFONT} ${_web_songs} ${_page}/soundfont-note.txt)
  list(APPEND _web_outputs ${TUMBLA_WEB_DIR}/tumbla.sf2)
else()
  message(WARNING "No TUMBLA_SF2TRIM or no soundfont: the page will play without music")
endif()
if(TUMBLA_ICON_GEN)
  foreach(_size 192 512)
    add_custom_command(OUTPUT ${TUMBLA_WEB_DIR}/icon-${_size}.png
      COMMAND ${TUMBLA_ICON_GEN} --png ${_size} ${CMAKE_CURRENT_BINARY_DIR}/icon-${_size}.png
      COMMAND ${TUMBLA_NODE} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/web_pack.mjs png ${CMAKE_CURRENT_BINARY_DIR}/icon-${_size}.png
              ${TUMBLA_WEB_DIR}/icon-${_size}.png
      DEPENDS ${TUMBLA_ICON_GEN} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/web_pack.mjs)
    list(APPEND _web_outputs ${TUMBLA_WEB_DIR}/icon-${_size}.png)
  endforeach()
endif()
add_custom_target(tumbla_web_page ALL DEPENDS ${_web_outputs})
add_dependencies(tumbla_web tumbla_web_page)

# Once the game is linked: its WebAssembly packed (the page unpacks it).
add_custom_command(TARGET tumbla_web POST_BUILD
  COMMAND ${TUMBLA_NODE} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/web_pack.mjs gzip ${TUMBLA_WEB_DIR}/tumbla.wasm)
# The service worker that keeps the bundle for playing offline, named after
# what it keeps: written again whenever the game or any file of the page
# changes, so that a page changed alone gets a new cache too.
set(_web_kept index.html tumbla_page.js audio_worklet.js manifest.webmanifest tumbla.png icon-192.png icon-512.png
    tumbla.js tumbla.wasm.gz tumbla.data libfluidsynth.js libfluidsynth.wasm tumbla.sf2 LICENSE.fluidsynth.txt LICENSE.soundfont.txt)
string(REPLACE ";" "\\;" _web_kept_arg "${_web_kept}")
add_custom_command(OUTPUT ${TUMBLA_WEB_DIR}/service_worker.js
  COMMAND ${CMAKE_COMMAND} -DDIR=${TUMBLA_WEB_DIR} -DTEMPLATE=${_page}/service_worker.js "-DFILES=${_web_kept_arg}"
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/web_service_worker.cmake
  DEPENDS tumbla_web ${_web_outputs} ${_page}/service_worker.js ${CMAKE_CURRENT_SOURCE_DIR}/cmake/web_service_worker.cmake)
add_custom_target(tumbla_web_worker ALL DEPENDS ${TUMBLA_WEB_DIR}/service_worker.js)
