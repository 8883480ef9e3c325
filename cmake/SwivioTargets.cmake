# Common compile settings and the helpers every folder uses to declare its target.

add_library(swivio_options INTERFACE)
target_include_directories(swivio_options INTERFACE ${PROJECT_SOURCE_DIR})
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

# swivio_library(NAME DEPS a b ... [PRIVATE_DEPS c d ...])
# One static library from the .cpp files of the calling folder (subfolders are targets of
# their own; dialogs in ui/ belong to the GUI targets). The DEPS are the layering: a header of a folder that
# is not listed cannot be found, so a forbidden include fails to build.
function(swivio_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;EXCLUDE" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    foreach(pattern IN LISTS ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${pattern}")
    endforeach()
    if(sources)
        add_library(${name} STATIC ${sources})
        target_link_libraries(${name} PUBLIC swivio_options ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    else()
        add_library(${name} INTERFACE)
        target_link_libraries(${name} INTERFACE swivio_options ${ARG_DEPS} ${ARG_PRIVATE_DEPS})
    endif()
endfunction()
