# Our own code builds with many warnings; our scripts and CI make them
# errors (OV_WERROR), a user's own build does not, since another compiler
# version may warn where ours does not. Third-party headers come in as system
# includes through their imported targets and stay quiet.
option(OV_WERROR "Treat compiler warnings in our own code as errors" OFF)

function(ov_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
        -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough)
    if(OV_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# One static library per layer; the link order enforces which layer may use which.
function(ov_layer name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPENDS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPENDS})
    ov_warnings(${name})
endfunction()
