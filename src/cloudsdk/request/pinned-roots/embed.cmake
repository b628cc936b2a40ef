# Writes OUTPUT: a C++ source holding the Base64 body of each PEM of INPUTS
# (in the given order) as one text, lines joined by spaces, which the Base64
# decoder skips. Run at build time, so the PEM files stay the only source.
# INPUTS is separated by "|", since ";" does not survive the command line.
string(REPLACE "|" ";" INPUTS "${INPUTS}")
set(body "")
set(count 0)
foreach(pem IN LISTS INPUTS)
  file(READ "${pem}" text)
  string(REGEX REPLACE "-----[A-Z ]+-----" "" text "${text}")
  string(REGEX REPLACE "[\r\n]+" " " text "${text}")
  string(STRIP "${text}" text)
  string(LENGTH "${text}" length)
  if(length GREATER 10000)
    message(FATAL_ERROR "${pem}: more than 10000 Base64 characters")
  endif()
  string(APPEND body "    \"${text}\",\n")
  math(EXPR count "${count} + 1")
endforeach()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from src/cloudsdk/request/pinned-roots/*.pem; do not edit.\n"
  "#include \"pinned_roots.h\"\n\n"
  "const char* const kCSPinnedRootTexts[] = {\n${body}};\n"
  "const unsigned kCSPinnedRootCount = ${count};\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
