# Fails when a file of the movie engine includes a header of a layer above its own. The engine's
# layers, lowest first; each may include its own headers and those of the layers it names:
#   swf          reading: bit reader, file, tags
#   abc          ActionScript 3 bytecode: its file model, reader, decoder and verifier
#   definitions  characters and timelines as the file defines them
#   media        decoders of sound, video and bitmaps
#   text         fonts, styled text, line layout
#   display      display list, timelines, buttons, input, hit tests, sound scheduling
#   avm1         the ActionScript 1/2 machine and its binding to the display list
#   avm2         the ActionScript 3 machine and its binding to the display list
#   render       pictures from a display list
#   (top)        the player facade, which puts them together
# ROOT is the engine's folder (src/engine or a sample laid out like it).
cmake_policy(SET CMP0057 NEW)
set(allowed_swf swf)
set(allowed_abc swf abc)
set(allowed_definitions swf abc definitions)
set(allowed_media swf abc definitions media)
set(allowed_text swf abc definitions text)
set(allowed_display swf abc definitions media text display)
set(allowed_avm1 swf abc definitions media text display avm1)
set(allowed_avm2 swf abc definitions media text display avm2)
set(allowed_render swf abc definitions media text display render)
set(layers swf abc definitions media text display avm1 avm2 render)

set(offenders "")
file(GLOB_RECURSE files RELATIVE "${ROOT}" "${ROOT}/*.h" "${ROOT}/*.cpp")
foreach(file IN LISTS files)
    string(REGEX MATCH "^[^/]+/" folder "${file}")
    if(NOT folder)
        continue() # the facade at the top may include every layer
    endif()
    string(REPLACE "/" "" layer "${folder}")
    if(NOT layer IN_LIST layers)
        list(APPEND offenders "${file}: folder '${layer}' is not one of the engine's layers")
        continue()
    endif()
    file(STRINGS "${ROOT}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"engine/")
    foreach(line IN LISTS lines)
        string(REGEX MATCH "\"engine/([^/\"]+)" _ "${line}")
        set(target "${CMAKE_MATCH_1}")
        if(NOT target IN_LIST allowed_${layer})
            list(APPEND offenders "${file} (${layer}) includes ${target}: ${line}")
        endif()
    endforeach()
endforeach()
if(offenders)
    list(JOIN offenders "\n" text)
    message(FATAL_ERROR "Engine includes against the layers:\n${text}")
endif()
message(STATUS "Engine layers hold in ${ROOT}")
