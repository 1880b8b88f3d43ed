# Fails when a file outside the targets' folders includes a header of one of them: the
# publish run, the transports' common code, corvane-cli and the windows reach a target only
# through its description (publish/PublishTarget.h), so that a new target is one folder.
file(GLOB_RECURSE sources LIST_DIRECTORIES false
    ${SOURCE}/publish/*.cpp ${SOURCE}/publish/*.h ${SOURCE}/cli/*.cpp ${SOURCE}/cli/*.h
    ${SOURCE}/ui/*.cpp ${SOURCE}/ui/*.h)
file(GLOB folders LIST_DIRECTORIES true ${SOURCE}/publish/*)
set(faults "")
foreach(file IN LISTS sources)
    # A target's own files may include each other's headers.
    set(inside FALSE)
    foreach(folder IN LISTS folders)
        if(IS_DIRECTORY ${folder} AND file MATCHES "^${folder}/")
            set(inside TRUE)
        endif()
    endforeach()
    if(inside)
        continue()
    endif()
    file(STRINGS ${file} lines REGEX "^#include \"publish/[^/\"]+/")
    foreach(line IN LISTS lines)
        string(APPEND faults "${file}: ${line}\n")
    endforeach()
endforeach()
if(faults)
    message(FATAL_ERROR "A target's header is included outside its folder:\n${faults}")
endif()
