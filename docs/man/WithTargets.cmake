# Writes OUTPUT: the manual page SOURCE with the line "@PUBLISH_TARGETS@" replaced by the
# publishing targets as corvane-cli help targets lists them (CLI), one item each, so that
# the page names every target the build has.
execute_process(COMMAND ${CLI} help targets OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "corvane-cli help targets failed: ${status}")
endif()
string(REGEX REPLACE "\n$" "" listing "${listing}")
# A semicolon would split the list's items.
string(REPLACE ";" "@SEMICOLON@" listing "${listing}")
string(REPLACE "\n" ";" lines "${listing}")
set(items "")
foreach(line IN LISTS lines)
    string(REGEX MATCH "^  ([^ ]+) +(.*)$" found "${line}")
    if(found)
        string(APPEND items "- *${CMAKE_MATCH_1}*: ${CMAKE_MATCH_2}\n")
        string(REPLACE "@SEMICOLON@" ";" items "${items}")
    endif()
endforeach()
file(READ ${SOURCE} page)
string(REPLACE "@PUBLISH_TARGETS@\n" "${items}" page "${page}")
file(WRITE ${OUTPUT} "${page}")
