# tm_add_layer(<target> <sources>...): the static library of one folder (or of one part of a
# folder). Its headers are seen only by the targets that link it: its include directory in the
# build tree holds links to its own headers and nothing else, under their paths from the source
# root ("net/Icmp.h"). The source root itself is on no include path, so a file that includes a
# header of a library it does not link fails to build.
function(tm_add_layer target)
    add_library(${target} STATIC ${ARGN})
    set(dir "${CMAKE_BINARY_DIR}/include/${target}")
    # Links of headers that left the list must not linger.
    file(REMOVE_RECURSE "${dir}")
    foreach(source IN LISTS ARGN)
        if(NOT source MATCHES "\\.h$")
            continue()
        endif()
        get_filename_component(path "${source}" ABSOLUTE)
        file(RELATIVE_PATH relative "${PROJECT_SOURCE_DIR}" "${path}")
        get_filename_component(folder "${dir}/${relative}" DIRECTORY)
        file(MAKE_DIRECTORY "${folder}")
        file(CREATE_LINK "${path}" "${dir}/${relative}" SYMBOLIC)
    endforeach()
    target_include_directories(${target} PUBLIC "${dir}")
endfunction()
