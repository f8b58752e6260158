# zqp_add_plugin(<target> FILE <file name> [DIRECTORY <dir>] [SOURCES <src>...] [LIBRARIES <lib>...])
#
# Builds a plugin the way the framework expects it: a module without the
# "lib" prefix named <file name> with the platform's suffix (.so, .dll),
# placed in <dir> when given, linking @ZQP_PACKAGE@::Interfaces and so
# @ZQP_PACKAGE@::Core, run through moc, and with hidden visibility so that no
# symbol of it becomes
# STB_GNU_UNIQUE (such a library could never be unloaded again).
# Installed with the @ZQP_PACKAGE@ package for plugins built outside this
# project; configured first, since the package's name depends on the Qt.
function(zqp_add_plugin target)
    cmake_parse_arguments(ARG "" "FILE;DIRECTORY" "SOURCES;LIBRARIES" ${ARGN})
    if(NOT ARG_FILE)
        message(FATAL_ERROR "zqp_add_plugin(${target}): FILE is required, e.g. FILE zqp.adp.mything")
    endif()
    add_library(${target} MODULE ${ARG_SOURCES})
    target_link_libraries(${target} PRIVATE @ZQP_PACKAGE@::Interfaces ${ARG_LIBRARIES})
    set_target_properties(${target} PROPERTIES
        PREFIX ""
        OUTPUT_NAME ${ARG_FILE}
        AUTOMOC ON
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    if(ARG_DIRECTORY)
        set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${ARG_DIRECTORY})
    endif()
endfunction()

# zqp_add_plugin_objects(<target> SOURCES <src>... [LIBRARIES <lib>...])
#
# A plugin's code compiled once, as an object library, so that the plugin
# and the tests that run it over a recording double link the same objects.
# Position independent, and linked by target name, so that its objects and
# its usage requirements travel together. Its folder is on the include path
# of whatever links it.
function(zqp_add_plugin_objects target)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
    add_library(${target} OBJECT ${ARG_SOURCES})
    target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_LIBRARIES})
    set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()
