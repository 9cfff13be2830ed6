# The Windows resources of the programs: the icon (made at build time from the PNG pictures in
# resources/ with icoutils' icotool), the version information and the manifest, compiled by the
# toolchain's resource compiler (windres) into the program.
enable_language(RC)

find_program(QVN_ICOTOOL icotool REQUIRED)
set(QVN_ICON ${CMAKE_BINARY_DIR}/quorvane.ico)
# 32 x 32 in 16 colours as drawn for the window and task bar, 128 and 256 in full colour (256 kept
# as PNG inside the icon, as Windows expects for that size).
add_custom_command(OUTPUT ${QVN_ICON}
    COMMAND ${QVN_ICOTOOL} -c -o ${QVN_ICON} ${PROJECT_SOURCE_DIR}/resources/MAINICON.png
            ${PROJECT_SOURCE_DIR}/resources/MAINICON-128.png
            -r ${PROJECT_SOURCE_DIR}/resources/MAINICON-256.png
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/MAINICON.png
            ${PROJECT_SOURCE_DIR}/resources/MAINICON-128.png
            ${PROJECT_SOURCE_DIR}/resources/MAINICON-256.png
    COMMENT "Making the Windows icon quorvane.ico")
add_custom_target(quorvane-icon DEPENDS ${QVN_ICON})

# Adds the icon, version information and manifest to a program; description is the file
# description Explorer shows.
function(qvn_windows_resources target description)
    set(QVN_RC_NAME ${target})
    set(QVN_RC_DESCRIPTION "${description}")
    set(QVN_RC_ICON ${QVN_ICON})
    # Four numbers: 0.50 is 0,50,0,0.
    string(REPLACE "." ";" parts "${PROJECT_VERSION}")
    list(LENGTH parts count)
    while(count LESS 4)
        list(APPEND parts 0)
        math(EXPR count "${count} + 1")
    endwhile()
    list(JOIN parts "," QVN_RC_VERSION_COMMAS)
    list(JOIN parts "." QVN_RC_VERSION_DOTS)
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}-resources)
    set(QVN_RC_MANIFEST ${dir}/${target}.manifest)
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/quorvane.manifest ${QVN_RC_MANIFEST}
                   @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/resources/windows/quorvane.rc.in ${dir}/${target}.rc
                   @ONLY)
    set_source_files_properties(${dir}/${target}.rc PROPERTIES
        OBJECT_DEPENDS "${QVN_ICON};${QVN_RC_MANIFEST}")
    target_sources(${target} PRIVATE ${dir}/${target}.rc)
    add_dependencies(${target} quorvane-icon)
endfunction()

# Qt's Japanese texts for its own dialogs, menus and buttons, built into target as
# :/qt/translations/qtbase_ja.qm, where the program looks when Qt's translations folder has none:
# a static Qt for Windows has no such folder beside the program. The file is Debian's
# (qt6-translations-l10n, the same Qt version, under Qt's own licence).
function(qvn_windows_qt_translations target)
    find_file(QVN_QTBASE_JA qtbase_ja.qm PATHS /usr/share/qt6/translations
              NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
    if(NOT QVN_QTBASE_JA)
        message(WARNING "No qtbase_ja.qm (qt6-translations-l10n): Qt's own texts stay English")
        return()
    endif()
    set(dir ${CMAKE_CURRENT_BINARY_DIR}/qt-resources)
    configure_file(${QVN_QTBASE_JA} ${dir}/qtbase_ja.qm COPYONLY)
    qt_add_resources(${target} qvn_qt_translations PREFIX /qt/translations BASE ${dir}
                     FILES ${dir}/qtbase_ja.qm)
endfunction()
