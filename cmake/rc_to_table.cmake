# cmake -DINPUT=x.rc -DOUTPUT=y.cpp -P rc_to_table.cmake
#
# Turns the STRINGTABLE blocks of a resource script into a C++ file that
# registers them with the simulated machine (plx_sim_resources.h), where
# LoadStringW finds them.  Other resources are ignored.
#
# Accepted as windres and rc accept them: ids as numbers or names #define'd in
# the script or in a header it includes with #include "..."; ids and texts
# separated by blanks or a comma; texts "..." (or L"...") with "" for an
# embedded quote and the C escapes \n \t \r \\ \a \x.. \ooo; adjacent texts
# joined.  The script is UTF-8 (#pragma code_page(65001) for windres); the
# generated u"" literals carry its characters unchanged.

if(NOT INPUT OR NOT OUTPUT)
  message(FATAL_ERROR "usage: cmake -DINPUT=x.rc -DOUTPUT=y.cpp -P rc_to_table.cmake")
endif()
file(READ "${INPUT}" bom LIMIT 3 HEX)
if(bom STREQUAL "efbbbf")
  file(READ "${INPUT}" rest OFFSET 3)
else()
  file(READ "${INPUT}" rest)
endif()
get_filename_component(input_dir "${INPUT}" DIRECTORY)

set(preamble "")
set(entries "")
set(count 0)
set(state 0)        # 0 outside, 1 after STRINGTABLE, 2 inside its block
set(id "")
set(text "")

macro(flush_entry)
  if(NOT text STREQUAL "")
    if(id STREQUAL "")
      message(FATAL_ERROR "${INPUT}: string table text without an id: ${text}")
    endif()
    string(APPEND entries "    {static_cast<unsigned>(${id}), ${text}, plxRcLength(${text})},\n")
    math(EXPR count "${count} + 1")
    set(id "")
    set(text "")
  endif()
endmacro()

while(NOT rest STREQUAL "")
  if(rest MATCHES "^[ \t\r\n]+")
    set(token "${CMAKE_MATCH_0}")
    set(kind space)
  elseif(rest MATCHES "^//[^\n]*")
    set(token "${CMAKE_MATCH_0}")
    set(kind space)
  elseif(rest MATCHES "^/\\*")
    string(FIND "${rest}" "*/" close)
    if(close LESS 0)
      message(FATAL_ERROR "${INPUT}: unterminated comment")
    endif()
    math(EXPR close "${close} + 2")
    string(SUBSTRING "${rest}" 0 ${close} token)
    set(kind space)
  elseif(rest MATCHES "^#[^\n]*")
    set(token "${CMAKE_MATCH_0}")
    set(kind directive)
  elseif(rest MATCHES "^L?\"([^\"]|\"\")*\"")
    set(token "${CMAKE_MATCH_0}")
    set(kind string)
  elseif(rest MATCHES "^[A-Za-z0-9_]+")
    set(token "${CMAKE_MATCH_0}")
    set(kind word)
  else()
    string(SUBSTRING "${rest}" 0 1 token)
    set(kind char)
  endif()
  string(LENGTH "${token}" length)
  string(SUBSTRING "${rest}" ${length} -1 rest)

  if(kind STREQUAL "space")
    continue()
  endif()
  if(kind STREQUAL "directive")
    string(STRIP "${token}" token)
    if(token MATCHES "^#[ \t]*define[ \t]")
      string(APPEND preamble "${token}\n")
    elseif(token MATCHES "^#[ \t]*include[ \t]*\"([^\"]+)\"")
      set(header "${CMAKE_MATCH_1}")
      if(NOT IS_ABSOLUTE "${header}")
        set(header "${input_dir}/${header}")
      endif()
      string(APPEND preamble "#include \"${header}\"\n")
    endif()
    continue()
  endif()

  if(state EQUAL 0)
    string(TOUPPER "${token}" upper)
    if(kind STREQUAL "word" AND upper STREQUAL "STRINGTABLE")
      set(state 1)
    endif()
  elseif(state EQUAL 1)
    string(TOUPPER "${token}" upper)
    if(upper STREQUAL "BEGIN" OR token STREQUAL "{")
      set(state 2)
    endif()
  else()
    string(TOUPPER "${token}" upper)
    if(kind STREQUAL "string")
      string(REGEX REPLACE "^L" "" token "${token}")
      string(LENGTH "${token}" length)
      math(EXPR inner "${length} - 2")
      string(SUBSTRING "${token}" 1 ${inner} body)
      string(REPLACE "\"\"" "\\\"" body "${body}")
      string(REPLACE "\r" "" body "${body}")
      string(REPLACE "\n" "\\n" body "${body}")
      if(text STREQUAL "")
        set(text "u\"${body}\"")
      else()
        string(APPEND text " u\"${body}\"")
      endif()
    elseif((kind STREQUAL "word" AND upper STREQUAL "END") OR token STREQUAL "}")
      flush_entry()
      set(state 0)
    elseif(token STREQUAL ",")
      # separates id and text
    else()
      flush_entry()
      string(APPEND id "${token}")
    endif()
  endif()
endwhile()
if(NOT state EQUAL 0)
  message(FATAL_ERROR "${INPUT}: STRINGTABLE without END")
endif()

set(out "// Generated from ${INPUT} by rc_to_table.cmake; edit the resource script instead.\n")
string(APPEND out "#include \"plx_sim_resources.h\"\n\n${preamble}\n")
if(count GREATER 0)
  string(APPEND out "namespace {\n\n"
    "template <std::size_t N>\n"
    "constexpr unsigned plxRcLength(const char16_t (&)[N]) { return static_cast<unsigned>(N - 1); }\n\n"
    "const plxsim::StringResource kStrings[] = {\n${entries}};\n\n"
    "struct Registrar {\n"
    "    Registrar() { plxsim::registerStringTable(kStrings, sizeof kStrings / sizeof kStrings[0]); }\n"
    "} registrar;\n\n"
    "}  // namespace\n")
endif()
file(WRITE "${OUTPUT}" "${out}")
