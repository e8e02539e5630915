# Turns a file into a C++ source that defines its bytes as a constant array:
#   cmake -DINPUT=file -DOUTPUT=out.cpp -DSYMBOL=name -DHEADER=header.h -P EmbedFile.cmake
# The array is generated from the committed file at build time, so the bytes
# the program carries can never drift from the file in the repository.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR byteCount "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include \"${HEADER}\"\n\n"
  "namespace purrbox::embedded {\n"
  "namespace {\nconst unsigned char bytes[${byteCount}] = {\n${bytes}\n};\n}\n"
  "const std::span<const unsigned char> ${SYMBOL}{bytes, ${byteCount}};\n"
  "}\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
