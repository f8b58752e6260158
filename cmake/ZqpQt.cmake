# The Qt the whole tree builds against: Qt 5 unless QT_MAJOR_VERSION says 6.
# Everything links Qt's versionless targets (Qt::Core, ...); what an
# installation is called depends on the Qt, so that a Qt 6 SDK installs
# beside a Qt 5 one:
#   ZQP_QT_SUFFIX        "" for Qt 5, "6" for Qt 6: libZQCore6, zqcore6.pc
#   ZQP_PACKAGE          the CMake package and target namespace, ZQP or ZQP6
#   ZQP_QT_MIN_VERSION   the oldest Qt of that major version it builds with
set(QT_MAJOR_VERSION 5 CACHE STRING "The major version of the Qt to build against: 5 or 6")
set_property(CACHE QT_MAJOR_VERSION PROPERTY STRINGS 5 6)

if(QT_MAJOR_VERSION STREQUAL "5")
    set(ZQP_QT_MIN_VERSION 5.15)
    set(ZQP_QT_SUFFIX "")
elseif(QT_MAJOR_VERSION STREQUAL "6")
    set(ZQP_QT_MIN_VERSION 6.4)
    set(ZQP_QT_SUFFIX 6)
else()
    message(FATAL_ERROR "QT_MAJOR_VERSION is ${QT_MAJOR_VERSION}; it must be 5 or 6")
endif()
set(ZQP_PACKAGE ZQP${ZQP_QT_SUFFIX})

find_package(Qt${QT_MAJOR_VERSION} ${ZQP_QT_MIN_VERSION} REQUIRED COMPONENTS Core Gui Widgets DBus Test)
