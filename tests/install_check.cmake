# Installs the build into a scratch prefix, then builds and runs a program that
# finds the library through its CMake package and one that finds it through
# pkg-config. Arguments: -DBUILD_DIR= -DSOURCE_DIR= -DWORK_DIR=
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
    endif()
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed include/kavrixml/kavrixml.h include/kavrixml/xml/DOMParser.h
                  include/kavrixml/i18n/I18N.h lib/cmake/kavrixml/kavrixmlConfig.cmake
                  lib/pkgconfig/kavrixml.pc)
    if(NOT EXISTS ${prefix}/${installed})
        message(FATAL_ERROR "not installed: ${installed}")
    endif()
endforeach()
# The library's own headers stay behind.
foreach(private xml/XMLScanner.h xml/DOMParserPaths.h xml/NameTable.h
                xml/LenientReader.h xml/WriteBuffer.h syntax/XMLSyntax.h
                syntax/XMLBytes.h)
    if(EXISTS ${prefix}/include/kavrixml/${private})
        message(FATAL_ERROR "a header of the library's own was installed: ${private}")
    endif()
endforeach()
# Every header installed finds what it includes among the installed ones.
file(GLOB_RECURSE installed_headers RELATIVE ${prefix}/include/kavrixml
     ${prefix}/include/kavrixml/*.h)
foreach(header ${installed_headers})
    file(STRINGS ${prefix}/include/kavrixml/${header} includes REGEX "^#include \"[^\"]+\"")
    foreach(line ${includes})
        string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
        if(NOT EXISTS ${prefix}/include/kavrixml/${included})
            message(FATAL_ERROR "installed ${header} includes ${included}, which is not installed")
        endif()
    endforeach()
endforeach()

# The installed tool starts from a prefix outside the loader's path.
run(${prefix}/bin/kavrixml check ${SOURCE_DIR}/examples/xml/settings.xml)

# Through the CMake package.
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/examples/consumer -B ${WORK_DIR}/consumer
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib ${WORK_DIR}/consumer/consumer)

# Through pkg-config.
find_program(PKG_CONFIG pkg-config)
find_program(CXX NAMES c++ g++)
if(PKG_CONFIG AND CXX)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig
                            ${PKG_CONFIG} --cflags --libs kavrixml
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "pkg-config does not know kavrixml")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    run(${CXX} ${SOURCE_DIR}/examples/consumer/main.cpp ${flags} -o ${WORK_DIR}/pc_consumer)
    run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib ${WORK_DIR}/pc_consumer)
endif()
