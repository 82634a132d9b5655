# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P embed.cmake
# Writes the bytes of INPUT into OUTPUT as `extern const std::uint8_t SYMBOL[]` with its size in
# SYMBOL_size, so that a program carries the file and reads it without opening anything.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){24})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT} by cmake/embed.cmake.\n#include <cstddef>\n#include <cstdint>\n"
     "extern const std::uint8_t ${SYMBOL}[] = {\n${bytes}\n};\n"
     "extern const std::size_t ${SYMBOL}_size = ${size};\n")
