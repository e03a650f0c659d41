# XML's rules live in syntax/ and nowhere else: every reader, writer and query
# calls them there, because copies drift apart (the `rule_homes` test). It fails when a known
# rule is written again outside its home (comment lines are passed over):
#   white space      a comparison with ' ' beside one with '\t'
#   UTF-8            a continuation-byte test ((c & 0xC0) == 0x80 or != 0x80)
#   name characters  NameStartChar's ranges (0x37F, 0x2FEF, 0x203F)
#   references       the predefined entities' texts ("&amp;", "&lt;", ...) and
#                    hexadecimal digits summed up as a character reference's are
#   encoding names   a function that checks an encoding name (EncName)
# Arguments: -DSOURCE_DIR=
cmake_minimum_required(VERSION 3.20)
set(folders framework core xml i18n tools)
set(rules space utf8 names entities charref encname)
set(pattern_space "== ' '.*== '\\\\t'|== '\\\\t'.*== ' '")
set(pattern_utf8 "& 0[xX][cC]0\\)? *[!=]= 0[xX]80")
set(pattern_names "0x37[fF]|0x2[fF][eE][fF]|0x203[fF]")
set(pattern_entities "\"&(amp|lt|gt|quot|apos);\"")
# A definition: a line that starts with a type and a name, and ends with no ';'.
set(pattern_charref "\\? *16 *: *10|\\* *16 *\\+")
set(pattern_encname "^[A-Za-z_][A-Za-z0-9_:,* ]* [A-Za-z_:]*[Ee]ncodingName\\(")
set(definitions encname)

set(faults "")
foreach(folder ${folders})
    file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h
         ${SOURCE_DIR}/${folder}/*.cpp)
    foreach(source ${sources})
        # One list element a line: the bytes a CMake list treats specially
        # (';' and brackets) are stood in for first.
        file(READ ${SOURCE_DIR}/${source} text)
        string(REPLACE ";" "<semicolon>" text "${text}")
        string(REPLACE "[" "<" text "${text}")
        string(REPLACE "]" ">" text "${text}")
        string(REPLACE "\n" ";" lines "${text}")
        set(number 0)
        foreach(line IN LISTS lines)
            math(EXPR number "${number} + 1")
            if(line MATCHES "^ *//")
                continue()
            endif()
            foreach(rule ${rules})
                if(rule IN_LIST definitions AND line MATCHES "<semicolon>")
                    continue()
                endif()
                if(line MATCHES "${pattern_${rule}}")
                    list(APPEND faults "${source}:${number}: ${rule}: ${line}")
                endif()
            endforeach()
        endforeach()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "XML's rules written outside syntax/:\n  ${text}")
endif()
