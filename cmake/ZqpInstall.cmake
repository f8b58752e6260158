# Where an installation puts things, relative to its prefix. plugin-tester is
# an application folder of its own: the program with its plugins in zqp/, the
# BASS add-ons in bass/, the OCR engine in nsocr/ and the engine's Config.dat
# beside it, as it expects to find them. The launcher in bin/ starts it there.
include(GNUInstallDirs)

set(ZQP_INSTALL_APPDIR ${CMAKE_INSTALL_LIBDIR}/plugin-tester)
set(ZQP_INSTALL_PLUGINDIR ${ZQP_INSTALL_APPDIR}/zqp)
# The development files carry the Qt's suffix, so that SDKs for Qt 5 and
# Qt 6 install side by side. Headers go into zqp/ under the include root
# (include/ for Qt 5, include/zqp6/ for Qt 6), so that users include them
# both as <zqpobject.h> and as <zqp/zqpobject.h>.
set(ZQP_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/${ZQP_PACKAGE})
if(ZQP_QT_SUFFIX)
    set(ZQP_INSTALL_INCLUDEROOT ${CMAKE_INSTALL_INCLUDEDIR}/zqp${ZQP_QT_SUFFIX})
else()
    set(ZQP_INSTALL_INCLUDEROOT ${CMAKE_INSTALL_INCLUDEDIR})
endif()
set(ZQP_INSTALL_INCLUDEDIR ${ZQP_INSTALL_INCLUDEROOT}/zqp)

# The path from the installed folder <from> to the installed folder <to>,
# both relative to the prefix, as a relative path.
function(zqp_relative_path result from to)
    foreach(dir from to)
        if(IS_ABSOLUTE "${${dir}}")
            set(${dir}_full "${${dir}}")
        else()
            set(${dir}_full "${CMAKE_INSTALL_PREFIX}/${${dir}}")
        endif()
    endforeach()
    file(RELATIVE_PATH path "${from_full}" "${to_full}")
    string(REGEX REPLACE "/$" "" path "${path}")
    if(path STREQUAL "")
        set(path .)
    endif()
    set(${result} "${path}" PARENT_SCOPE)
endfunction()

# zqp_install(<target> DESTINATION <dir> [RUNPATH <dir>...])
#
# Installs a binary of the runtime package into <dir>. It finds its libraries
# in the RUNPATH folders through $ORIGIN, so that the installed tree still
# works when it is moved to another prefix. Shared objects are not
# executable, as Debian wants them.
function(zqp_install target)
    cmake_parse_arguments(ARG "" "DESTINATION" "RUNPATH" ${ARGN})
    set(runpath)
    foreach(dir IN LISTS ARG_RUNPATH)
        zqp_relative_path(path "${ARG_DESTINATION}" "${dir}")
        list(APPEND runpath "$ORIGIN/${path}")
    endforeach()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "${runpath}")
    install(TARGETS ${target}
        RUNTIME DESTINATION ${ARG_DESTINATION} COMPONENT runtime
        LIBRARY DESTINATION ${ARG_DESTINATION} COMPONENT runtime
            PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()
