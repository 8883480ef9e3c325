# Common compile settings and the helpers every folder uses to declare its target.

add_library(swivio_options INTERFACE)
target_compile_options(swivio_options INTERFACE -Wall -Wextra -Wshadow)
if(SWIVIO_WERROR)
    target_compile_options(swivio_options INTERFACE -Werror)
endif()
if(SWIVIO_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
if(SWIVIO_FUZZ)
    # Coverage feedback for the fuzzers has to reach into the libraries they link.
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# swivio_publish_headers(TARGET FILE...)
# Every target has an include root of its own in the build tree, holding links to its own
# headers under their source paths ("swf/format/shape.h"). The root is handed on only to
# the targets that link this one, so a header of a folder that is not a dependency cannot
# be found and a forbidden include fails to build.
function(swivio_publish_headers target)
    set(root ${PROJECT_BINARY_DIR}/include/${target})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
    foreach(header IN LISTS ARGN)
        file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${header})
        get_filename_component(folder ${root}/${relative} DIRECTORY)
        file(MAKE_DIRECTORY ${folder})
        file(CREATE_LINK ${header} ${root}/${relative} SYMBOLIC)
    endforeach()
endfunction()

# swivio_library(NAME DEPS a b ... [PRIVATE_DEPS c d ...] [EXCLUDE regex ...]
#                [EXCLUDE_HEADERS regex ...])
# One static library from the .cpp files of the calling folder (subfolders are targets of
# their own), publishing the folder's headers. The DEPS are the layering: a header of a
# folder that is not listed cannot be found, so a forbidden include fails to build.
function(swivio_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;EXCLUDE;EXCLUDE_HEADERS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    foreach(pattern IN LISTS ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${pattern}")
    endforeach()
    foreach(pattern IN LISTS ARG_EXCLUDE_HEADERS)
        list(FILTER headers EXCLUDE REGEX "${pattern}")
    endforeach()
    if(sources)
        add_library(${name} STATIC ${sources})
        target_link_libraries(${name} PUBLIC swivio_options ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE swivio_options ${ARG_DEPS} ${ARG_PRIVATE_DEPS})
    endif()
    swivio_publish_headers(${name} ${headers})
endfunction()
