# Writes a C++ source that holds the given files as byte arrays, reachable
# through `std::span<const EmbeddedFile> <function>()` in namespace ov. With a
# base folder each file is named by its path below it without the extension
# ("en/editor" for base/en/editor.md), else by its bare name ("icoOPCUnit").
function(ov_embed_named output function base)
    set(body "")
    set(entries "")
    set(index 0)
    foreach(file IN LISTS ARGN)
        file(READ "${file}" hex HEX)
        string(LENGTH "${hex}" hex_length)
        math(EXPR size "${hex_length} / 2")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
        if(base)
            file(RELATIVE_PATH relative "${base}" "${file}")
            string(REGEX REPLACE "\\.[^./]*$" "" name "${relative}")
        else()
            get_filename_component(name "${file}" NAME_WE)
        endif()
        string(APPEND body "const unsigned char k${index}[] = {${bytes}};\n")
        string(APPEND entries "    {\"${name}\", k${index}, ${size}},\n")
        math(EXPR index "${index} + 1")
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
    endforeach()
    file(CONFIGURE OUTPUT "${output}" CONTENT
"// Generated from files of the source tree; do not edit.
#include \"platform/EmbeddedFile.h\"
namespace ov {
namespace {
${body}
const EmbeddedFile kFiles[] = {
${entries}};
}  // namespace
std::span<const EmbeddedFile> ${function}() { return kFiles; }
}  // namespace ov
" @ONLY)
endfunction()

function(ov_embed_files output function)
    ov_embed_named("${output}" "${function}" "" ${ARGN})
endfunction()

function(ov_embed_tree output function base)
    ov_embed_named("${output}" "${function}" "${base}" ${ARGN})
endfunction()
