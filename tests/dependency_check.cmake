# Dependencies between the library's folders point one way. From the bottom:
#
#   syntax              XML's rules, on the standard library alone
#   framework/plinth    base services (its XML escaping uses syntax); internal/:
#                       the block pool nodes are cut from, shared names
#   framework/kavrimain main services
#   core                the header templates over the framework's counted objects
#   xml                 document model, reader, writer, XPath
#   i18n                bundles, plural rules and the language manager
#   tools               the command-line tool
#
# So no two top-level folders include each other: syntax < framework < core <
# xml < i18n < tools.
# A file may include files of its own layer and of the layers below it, and
# opens only the namespaces its layer owns at the top level (so that no
# header reopens another folder's namespace to specialise its templates).
# Arguments: -DSOURCE_DIR=
cmake_minimum_required(VERSION 3.20)
set(layers syntax framework/plinth framework/kavrimain core xml i18n tools)
set(namespaces_syntax "kavri")
set(namespaces_framework/plinth "core;logging;text;parameter")
set(namespaces_core "core;mpl")
set(namespaces_framework/kavrimain "kavri")
set(namespaces_xml "kavri")
set(namespaces_i18n "kavri")
set(namespaces_tools "kavri;kavrixml_tool")

# The layer of a path relative to the source root (the longest prefix), or "".
function(layer_of path out)
    set(found "")
    foreach(layer ${layers})
        string(LENGTH "${layer}/" length)
        string(LENGTH "${found}" found_length)
        string(SUBSTRING "${path}" 0 ${length} prefix)
        if(prefix STREQUAL "${layer}/" AND length GREATER found_length)
            set(found ${layer})
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

set(faults "")
foreach(layer ${layers})
    file(GLOB sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${layer}/*.h ${SOURCE_DIR}/${layer}/*.cpp
         ${SOURCE_DIR}/${layer}/internal/*.h ${SOURCE_DIR}/${layer}/internal/*.cpp)
    list(FIND layers ${layer} rank)
    foreach(source ${sources})
        file(STRINGS ${SOURCE_DIR}/${source} lines
             REGEX "^(#include [<\"]|namespace [A-Za-z_]* *\\{|\\} *// namespace)")
        set(depth 0)
        foreach(line IN LISTS lines)
            if(line MATCHES "^#include \"([^\"]+)\"")
                set(included ${CMAKE_MATCH_1})
                layer_of(${included} target)
                if(target STREQUAL "" AND EXISTS ${SOURCE_DIR}/${included})
                    list(APPEND faults "${source} includes ${included}, which is in no layer")
                elseif(NOT target STREQUAL "")
                    list(FIND layers ${target} target_rank)
                    if(target_rank GREATER rank)
                        list(APPEND faults "${source} (${layer}) includes ${included} (${target})")
                    endif()
                endif()
            elseif(line MATCHES "^#include <" AND layer STREQUAL "syntax")
                # The standard library and the compiler's vector intrinsics only:
                # any other system header is a dependency.
                if(NOT line MATCHES "^#include <([a-z_]+|[a-z]+intrin\\.h)>")
                    list(APPEND faults "${source} (syntax) includes ${line}")
                endif()
            elseif(line MATCHES "^namespace ([A-Za-z_]*) *\\{")
                set(name ${CMAKE_MATCH_1})
                if(depth EQUAL 0 AND NOT name STREQUAL "" AND NOT name IN_LIST namespaces_${layer})
                    list(APPEND faults "${source} (${layer}) opens namespace ${name}")
                endif()
                math(EXPR depth "${depth} + 1")
            elseif(line MATCHES "^\\} *// namespace")
                math(EXPR depth "${depth} - 1")
            endif()
        endforeach()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "dependencies against the layer order:\n  ${text}")
endif()
