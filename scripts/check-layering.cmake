# Checks who may use whom: reads every #include "..." of core/, cli/ and app/ and fails, naming
# each offending line, when a folder includes code it must not use. The build links the app's
# folders as separate libraries, but every target sees the whole tree as include path, so only
# this check stops a feature that includes window code.
#
#   cmake -DROOT=<source tree> -P scripts/check-layering.cmake
#
# The rooms of the shell (app/<room>/, app/features/<name>/) and what each may include besides
# itself and the core. A room not listed here may include nothing of the shell, so a new
# folder gets its line when it is created.
cmake_minimum_required(VERSION 3.20)

set(rooms
    "document:"
    "view:document"
    "context:view,document"
    "jobs:context"
    "platform:"
    "workspace:document,context,jobs"
    "settings:context,view,document"
    "features:context,view,document,workspace"
    "session:workspace,document,context,platform,jobs,settings"
    "window:workspace,jobs,settings,session,platform,context,view,document"
    # The application object, the feature list and main() put everything together.
    "app:*")

if(NOT ROOT)
    get_filename_component(ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
endif()

foreach(entry IN LISTS rooms)
    string(REPLACE ":" ";" parts "${entry}")
    list(GET parts 0 room)
    list(LENGTH parts count)
    set(allowed_${room} "")
    if(count GREATER 1)
        list(GET parts 1 uses)
        string(REPLACE "," ";" allowed_${room} "${uses}")
    endif()
    set(known_${room} TRUE)
endforeach()

# The room of a path below app/: "features/<name>" counts as the room "features" with the
# feature's own folder as its self; a file directly in app/ is the room "app".
function(room_of path out_room out_self)
    string(REGEX REPLACE "^app/" "" rest "${path}")
    if(rest MATCHES "^features/([^/]+)/")
        set(${out_room} "features" PARENT_SCOPE)
        set(${out_self} "features/${CMAKE_MATCH_1}" PARENT_SCOPE)
    elseif(rest MATCHES "^([^/]+)/")
        set(${out_room} "${CMAKE_MATCH_1}" PARENT_SCOPE)
        set(${out_self} "${CMAKE_MATCH_1}" PARENT_SCOPE)
    else()
        set(${out_room} "app" PARENT_SCOPE)
        set(${out_self} "app" PARENT_SCOPE)
    endif()
endfunction()

file(GLOB_RECURSE sources RELATIVE "${ROOT}" "${ROOT}/core/*.h" "${ROOT}/core/*.cpp"
     "${ROOT}/cli/*.h" "${ROOT}/cli/*.cpp" "${ROOT}/app/*.h" "${ROOT}/app/*.cpp")
set(violations "")
foreach(source IN LISTS sources)
    file(STRINGS "${ROOT}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line IN LISTS lines)
        if(NOT line MATCHES "#[ \t]*include[ \t]*[\"<]([^\">]+)[\">]")
            continue()
        endif()
        set(included "${CMAKE_MATCH_1}")
        set(reason "")
        if(source MATCHES "^core/")
            # The core stands alone: no shell, no command-line tool, no Qt.
            if(included MATCHES "^(app|cli)/")
                set(reason "the core uses no app or cli code")
            elseif(included MATCHES "^Q[A-Za-z]*(/|$)")
                set(reason "the core uses no Qt")
            endif()
        elseif(source MATCHES "^cli/")
            if(included MATCHES "^app/")
                set(reason "the command-line tool uses the core only")
            endif()
        elseif(included MATCHES "^cli/")
            set(reason "the shell does not use the command-line tool")
        elseif(included MATCHES "^app/")
            room_of("${source}" room self)
            room_of("${included}" target_room target_self)
            if(NOT known_${room})
                set(reason "app/${self}/ has no line in scripts/check-layering.cmake")
            elseif(NOT target_self STREQUAL self AND NOT allowed_${room} STREQUAL "*")
                list(FIND allowed_${room} "${target_room}" found)
                if(room STREQUAL "features" AND target_room STREQUAL "features")
                    set(reason "a feature never uses another feature")
                elseif(found EQUAL -1)
                    string(REPLACE ";" ", " uses "${allowed_${room}}")
                    if(uses STREQUAL "")
                        set(reason "app/${room}/ may use the core only")
                    else()
                        set(reason "app/${room}/ may use ${uses} and the core only")
                    endif()
                endif()
            endif()
        endif()
        if(NOT reason STREQUAL "")
            string(APPEND violations "  ${source} includes ${included}: ${reason}\n")
        endif()
    endforeach()
endforeach()

list(LENGTH sources checked)
if(NOT violations STREQUAL "")
    message(FATAL_ERROR "layering violations:\n${violations}")
endif()
message(STATUS "layering: ${checked} files follow the rules")
