# zqp_add_plugin(<target> FILE <file name> DIRECTORY <dir> SOURCES <src>... [LIBRARIES <lib>...])
#
# Builds a plugin the way the framework expects it: a module without the
# "lib" prefix named <file name>.so, placed in <dir>, linking ZQCore, with
# hidden visibility so that no symbol of it becomes STB_GNU_UNIQUE (such a
# library could never be unloaded again).
function(zqp_add_plugin target)
    cmake_parse_arguments(ARG "" "FILE;DIRECTORY" "SOURCES;LIBRARIES" ${ARGN})
    add_library(${target} MODULE ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE ZQCore ${ARG_LIBRARIES})
    set_target_properties(${target} PROPERTIES
        PREFIX ""
        OUTPUT_NAME ${ARG_FILE}
        LIBRARY_OUTPUT_DIRECTORY ${ARG_DIRECTORY}
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
endfunction()
