# marvoly_embed_resources(TARGET RC_FILE [INCLUDE_DIRS dir...] [DEPENDS file...])
# Compiles a resource script with windres into a .res file, as the Windows
# build does, and embeds it in TARGET as the program's own module, which
# GetModuleHandleA(nullptr) gives. INCLUDE_DIRS are searched for the files
# that the script includes and names (icons); DEPENDS lists them, so that a
# change rebuilds. The script may include the Windows resource headers; this
# build's own C preprocessor reads it.
find_program(MARVOLY_WINDRES NAMES x86_64-w64-mingw32-windres windres REQUIRED)
find_path(MARVOLY_WINDOWS_HEADERS winresrc.h
          PATHS /usr/share/mingw-w64/include /usr/x86_64-w64-mingw32/include
          NO_DEFAULT_PATH REQUIRED)

function(marvoly_embed_resources target rc)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "INCLUDE_DIRS;DEPENDS")
    set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/embed_resources.cmake)
    get_filename_component(rc ${rc} ABSOLUTE)
    get_filename_component(name ${rc} NAME_WE)
    set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources)
    set(res ${out_dir}/${name}.res)
    set(cpp ${out_dir}/${name}_res.cpp)
    set(includes)
    foreach(dir ${arg_INCLUDE_DIRS})
        list(APPEND includes -I ${dir})
    endforeach()
    add_custom_command(OUTPUT ${res}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
        COMMAND ${MARVOLY_WINDRES} --preprocessor=${CMAKE_C_COMPILER}
                --preprocessor-arg=-E --preprocessor-arg=-xc
                --preprocessor-arg=-DRC_INVOKED --preprocessor-arg=-D_WIN32
                ${includes} -I ${MARVOLY_WINDOWS_HEADERS} -O res -i ${rc} -o ${res}
        DEPENDS ${rc} ${arg_DEPENDS}
        COMMENT "Compiling ${name}.rc for ${target}"
        VERBATIM)
    add_custom_command(OUTPUT ${cpp}
        COMMAND ${CMAKE_COMMAND} -DINPUT=${res} -DOUTPUT=${cpp} -P ${script}
        DEPENDS ${res} ${script}
        VERBATIM)
    target_sources(${target} PRIVATE ${cpp} ${PROJECT_SOURCE_DIR}/src/terminal/module.cpp)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src)
endfunction()
