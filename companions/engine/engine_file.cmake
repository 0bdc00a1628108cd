# engine_file(<out> KEY <game key> URL <download address> FILE <installer file name>
#             PAYLOAD <local installer file> [DEPENDS <targets or files...>])
# Generates, at build time, the engine file <out> with one entry for <game key>;
# the size and MD5 are taken from PAYLOAD, the file that URL will serve. The
# caller makes a target depend on <out>.
set(ENGINE_FILE_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/make_engine_file.cmake)

function(engine_file out)
    cmake_parse_arguments(E "" "KEY;URL;FILE;PAYLOAD" "DEPENDS" ${ARGN})
    foreach(arg KEY URL FILE PAYLOAD)
        if(NOT E_${arg})
            message(FATAL_ERROR "engine_file(${out}): ${arg} is required")
        endif()
    endforeach()
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -DOUT=${out} -DKEY=${E_KEY} -DURL=${E_URL}
                -DINSTALLER=${E_FILE} -DPAYLOAD=${E_PAYLOAD} -P ${ENGINE_FILE_SCRIPT}
        DEPENDS ${E_PAYLOAD} ${ENGINE_FILE_SCRIPT} ${E_DEPENDS}
        COMMENT "Writing the engine file ${out}"
        VERBATIM)
endfunction()
