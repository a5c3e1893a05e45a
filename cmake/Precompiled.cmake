# Precompiled headers. Most of a translation unit's compile time is spent on
# the Qt, standard library and GoogleTest headers it includes, not on our own
# code: each target compiles those once into a precompiled header, chosen by
# the libraries the target can see (a library without Qt Widgets gets no
# widget headers, a program without GoogleTest no test headers).
# Measured with clang, a header takes 5 to 7 s to make and saves 1.5 to 2 s
# in every file. GCC takes 20 s per header (160 MB with debug information),
# and an optimised file spends its time on our code, not the headers: there
# it cost more than it saved, so only clang builds have it by default.
set(_ov_pch_default OFF)
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(_ov_pch_default ON)
endif()
option(OV_PCH "Precompile the third-party headers of each target" ${_ov_pch_default})

set(OV_PCH_CORE
    <algorithm> <functional> <map> <memory> <optional> <string> <utility> <vector>
    <QByteArray> <QCoreApplication> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash>
    <QRegularExpression> <QSet> <QString> <QStringList> <QVariant>)
set(OV_PCH_WIDGETS
    <QApplication> <QBoxLayout> <QComboBox> <QDialog> <QLabel> <QLineEdit> <QPainter>
    <QPushButton> <QWidget>)
set(OV_PCH_GTEST <gtest/gtest.h>)
set(OV_PCH_GMOCK <gmock/gmock.h>)
set(OV_PCH_QTEST <QTest>)

# Every target defined in `dir` and below it.
function(_ov_targets_below dir out)
    get_property(found DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
    foreach(subdir IN LISTS subdirs)
        _ov_targets_below(${subdir} below)
        list(APPEND found ${below})
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

# The libraries whose headers `target` may include: its own links and what
# they pass on (a static library's private links are not passed on).
function(_ov_visible_libraries target property out)
    set(seen ${${out}})
    get_target_property(links ${target} ${property})
    if(NOT links)
        set(${out} ${seen} PARENT_SCOPE)
        return()
    endif()
    foreach(link IN LISTS links)
        if(link MATCHES "^\\$<" OR link IN_LIST seen)
            continue()
        endif()
        list(APPEND seen ${link})
        if(TARGET ${link})
            get_target_property(imported ${link} IMPORTED)
        endif()
        if(TARGET ${link} AND NOT imported)
            _ov_visible_libraries(${link} INTERFACE_LINK_LIBRARIES seen)
        endif()
    endforeach()
    set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Called once at the end of the top-level list file, when every target and
# its links exist. A target of one or two sources gains nothing: compiling
# the header costs what including it would.
function(ov_pch_apply)
    if(NOT OV_PCH)
        return()
    endif()
    _ov_targets_below(${PROJECT_SOURCE_DIR} targets)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY)$")
            continue()
        endif()
        get_target_property(sources ${target} SOURCES)
        list(FILTER sources INCLUDE REGEX "\\.cpp$")
        list(LENGTH sources count)
        if(count LESS 3)
            continue()
        endif()
        set(visible "")
        _ov_visible_libraries(${target} LINK_LIBRARIES visible)
        set(headers ${OV_PCH_CORE})
        if("Qt6::Widgets" IN_LIST visible)
            list(APPEND headers ${OV_PCH_WIDGETS})
        endif()
        if(visible MATCHES "GTest::(gtest|gtest_main|GTest|Main)(;|$)")
            list(APPEND headers ${OV_PCH_GTEST})
        endif()
        if("GTest::gmock" IN_LIST visible OR "GTest::gmock_main" IN_LIST visible)
            list(APPEND headers ${OV_PCH_GMOCK})
        endif()
        if("Qt6::Test" IN_LIST visible)
            list(APPEND headers ${OV_PCH_QTEST})
        endif()
        target_precompile_headers(${target} PRIVATE ${headers})
        if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
            # Without a time stamp in the header, ccache can reuse what uses it.
            target_compile_options(${target} PRIVATE -Xclang -fno-pch-timestamp)
        endif()
    endforeach()
endfunction()
