# Writes a C++ source that holds a binary file as a byte array.
#   cmake -DIN=file -DOUT=file.cpp -DSYMBOL=name -DHEADER=include/path.h -P EmbedBinary.cmake
# The source defines `extern const uint8_t SYMBOL[]` and `extern const size_t SYMBOL_size`.
file(READ "${IN}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR bytes "${digits} / 2")
# Sixteen bytes a line (CMake's expressions have no counted repeats).
string(REGEX REPLACE "(................................)" "\\1\n" body "${hex}")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," body "${body}")
file(WRITE "${OUT}.new"
  "// Generated from ${IN} by cmake/EmbedBinary.cmake; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "extern const uint8_t ${SYMBOL}[] = {\n${body}\n};\n"
  "extern const size_t ${SYMBOL}_size = ${bytes};\n")
# Only a changed source is rebuilt.
file(COPY_FILE "${OUT}.new" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.new")
