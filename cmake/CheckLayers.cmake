# Fails when a source under SOURCE_DIR includes a header of a folder that is not below its own.
# Run as: cmake -DSOURCE_DIR=src -P cmake/CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)
#
# The layers, bottom first. A folder may include its own headers and those of the folders listed for
# it; src/CMakeLists.txt links the libraries the same way.
set(below_platform none)
# audio takes only platform's header-only wrappers (ALSA's quiet scope, C handles), so it links none of it.
set(below_audio platform)
set(below_library platform audio)
set(below_playback library platform audio)
set(below_radio playback library platform audio)
set(below_app radio playback library platform audio)
set(below_mpris app radio playback library platform audio)
set(below_ui app radio playback library platform audio)

get_filename_component(SOURCE_DIR ${SOURCE_DIR} ABSOLUTE)
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*/*.h ${SOURCE_DIR}/*/*.cpp)
set(wrong 0)
foreach(source IN LISTS sources)
    string(REGEX MATCH "^[^/]+" folder ${source})
    if(NOT DEFINED below_${folder})
        message(SEND_ERROR "${source}: the folder ${folder}/ has no place in the layers")
        math(EXPR wrong "${wrong} + 1")
        continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[a-z]+/")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([a-z]+)/.*" "\\1" target "${line}")
        if(target STREQUAL folder OR target IN_LIST below_${folder})
            continue()
        endif()
        message(SEND_ERROR "${source}: ${folder}/ may not include ${target}/ (${line})")
        math(EXPR wrong "${wrong} + 1")
    endforeach()
endforeach()
list(LENGTH sources count)
message(STATUS "${count} sources checked, ${wrong} include(s) against the layer order")
