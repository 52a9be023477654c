# The Windows download, run as a script after TUMBLA.exe is linked:
#   cmake -DEXE=... -DSOURCE=<repository> -DOUT=<folder> -DVERSION=0.01 [-DMAKENSIS=...] -P windows_package.cmake
# Stages what ships (the program, the song, README.txt, the licences of the
# runtime linked into it), zips it as TUMBLA-<version>-win32.zip (one folder
# inside) and builds the per-user installer TUMBLA-<version>-setup.exe.
set(name TUMBLA-${VERSION})
set(stage ${OUT}/stage/${name})
file(REMOVE_RECURSE ${OUT}/stage)
file(MAKE_DIRECTORY ${stage}/sample_data)
file(COPY ${EXE} DESTINATION ${stage})
file(COPY ${SOURCE}/sample_data/sw5.mid DESTINATION ${stage}/sample_data)
set(TUMBLA_VERSION ${VERSION})
configure_file(${SOURCE}/packaging/windows/README.txt ${stage}/README.txt @ONLY NEWLINE_STYLE CRLF)
# The runtime statically linked into TUMBLA.exe: mingw-w64's CRT and GCC's
# support libraries, whose licences travel with the binary.
foreach(pair "mingw-w64;/usr/share/doc/mingw-w64-i686-dev/copyright"
             "gcc-runtime;/usr/share/doc/gcc-mingw-w64-base/copyright")
  list(GET pair 0 what)
  list(GET pair 1 from)
  if(NOT EXISTS ${from})
    message(FATAL_ERROR "${from} is missing: the licence of what TUMBLA.exe links")
  endif()
  configure_file(${from} ${stage}/LICENSE.${what}.txt COPYONLY)
endforeach()

file(REMOVE ${OUT}/${name}-win32.zip)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${OUT}/${name}-win32.zip --format=zip ${name}
                WORKING_DIRECTORY ${OUT}/stage RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not write ${name}-win32.zip")
endif()

if(NOT MAKENSIS)
  message(WARNING "makensis (Debian: nsis) is missing: no installer")
  return()
endif()
# The size Windows shows in its list of programs, in KiB.
set(bytes 0)
file(GLOB_RECURSE staged ${stage}/*)
foreach(f ${staged})
  file(SIZE ${f} size)
  math(EXPR bytes "${bytes} + ${size}")
endforeach()
math(EXPR kib "(${bytes} + 1023) / 1024")
# Windows' four numbers of a version: 0.01 is 0.1.0.0, as in the version
# resource and the manifest.
string(REPLACE "." ";" parts ${VERSION})
list(GET parts 0 major)
list(GET parts 1 minor)
math(EXPR major "${major}")
math(EXPR minor "${minor}")
execute_process(
  COMMAND ${MAKENSIS} -V2 -DVERSION=${VERSION} -DVERSION_NUMBERS=${major}.${minor}.0.0 -DSTAGE=${stage} -DOUTFILE=${OUT}/${name}-setup.exe
          -DICON=${SOURCE}/resources/tumbla.ico -DSIZE_KB=${kib} ${SOURCE}/packaging/windows/tumbla.nsi
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "makensis could not build ${name}-setup.exe")
endif()
