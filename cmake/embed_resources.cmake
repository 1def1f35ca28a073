# cmake -DINPUT=file.res -DOUTPUT=file.cpp -P embed_resources.cmake
# Writes a compiled resource file as the byte array that the program's own
# module hands to the resource reader.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n" bytes "${bytes}")
get_filename_component(name "${INPUT}" NAME)
file(WRITE "${OUTPUT}.new"
    "// Generated from ${name}; the build writes it again when that changes.\n"
    "#include <cstddef>\n\n"
    "extern const unsigned char g_programResources[] = {\n${bytes}\n};\n"
    "extern const std::size_t g_programResourcesSize = ${size};\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
