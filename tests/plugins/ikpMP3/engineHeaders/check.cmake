# Run with cmake -P: builds the plug-in module against a copy of the engine headers in a
# folder of its own and checks that the copy, not the stand-in, was used; then checks that a
# folder without the headers is refused when the build is configured.
# Needs: VW_SOURCE_DIR, WORK_DIR, MPAUDEC_LIBRARY, CXX; optional LAUNCHER.
set(sdk "${WORK_DIR}/engine-sdk/include")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${sdk}" "${WORK_DIR}/empty")
file(COPY "${VW_SOURCE_DIR}/src/plugins/ikpMP3/irrklang/irrKlang.h" DESTINATION "${sdk}")

set(common -S "${VW_SOURCE_DIR}/tests/plugins/ikpMP3/engineHeaders"
    -DVW_SOURCE_DIR=${VW_SOURCE_DIR} -DMPAUDEC_LIBRARY=${MPAUDEC_LIBRARY}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo)
if(LAUNCHER)
  list(APPEND common -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
endif()

execute_process(COMMAND ${CMAKE_COMMAND} ${common} -B "${WORK_DIR}/build"
                        -DIKPMP3_ENGINE_INCLUDE_DIR=${sdk} -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "configuring against ${sdk} failed:\n${log}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build "${WORK_DIR}/build" --target ikpMP3
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "building ikpMP3 against ${sdk} failed:\n${log}")
endif()
if(NOT EXISTS "${WORK_DIR}/build/ikpMP3/ikpMP3.so")
  message(FATAL_ERROR "no module at ${WORK_DIR}/build/ikpMP3/ikpMP3.so")
endif()

# Every source of the module was compiled with the copy on its include path, none with the stand-in.
file(READ "${WORK_DIR}/build/compile_commands.json" commands)
string(JSON count LENGTH "${commands}")
math(EXPR last "${count} - 1")
set(moduleSources 0)
foreach(i RANGE ${last})
  string(JSON command GET "${commands}" ${i} command)
  string(JSON source GET "${commands}" ${i} file)
  if(NOT command MATCHES "ikpMP3\\.dir")
    continue()
  endif()
  math(EXPR moduleSources "${moduleSources} + 1")
  string(FIND "${command}" "-I${sdk}" withCopy)
  string(FIND "${command}" "src/plugins/ikpMP3/irrklang" withStandIn)
  if(withCopy EQUAL -1 OR NOT withStandIn EQUAL -1)
    message(FATAL_ERROR "${source} was not compiled against ${sdk} alone:\n${command}")
  endif()
endforeach()
if(moduleSources LESS 4)
  message(FATAL_ERROR "only ${moduleSources} sources of the module found in compile_commands.json")
endif()

execute_process(COMMAND ${CMAKE_COMMAND} ${common} -B "${WORK_DIR}/refused"
                        -DIKPMP3_ENGINE_INCLUDE_DIR=${WORK_DIR}/empty
                RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(status EQUAL 0 OR NOT log MATCHES "holds no irrKlang.h")
  message(FATAL_ERROR "a folder without irrKlang.h was not refused:\n${log}")
endif()
message(STATUS "ikpMP3 built against ${sdk} (${moduleSources} sources)")
