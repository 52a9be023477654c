# WebAssembly builds with Emscripten (emcmake cmake ... -DTUMBLA_RC=<native tumbla_rc>).
# No threads: the browser would need cross-origin isolation for them, and the
# stand-in does its threads' work from the main loop when it has none.

# The watch for Node, reading and writing the real file system, so that its
# output can be compared with the native program's.
target_link_options(tumbla_watch PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1
                    -sALLOW_MEMORY_GROWTH=1)
