# The Windows packages, made by "cpack" in the Windows build folder from what "cmake --install"
# puts in place: Quorvane-<version>-win64.zip (the programs, the help page, the examples, a read-me
# in Japanese, unpacked anywhere and run from there) and Quorvane-<version>-setup.exe, an NSIS
# installer (Debian's nsis) with a Start menu entry, an uninstaller and a silent mode (/S).
set(CPACK_PACKAGE_NAME Quorvane)
set(CPACK_PACKAGE_VENDOR "Quorvane Project")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "links page builder for personal web sites")
set(CPACK_PACKAGE_HOMEPAGE_URL https://www.example.com/quorvane/)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quorvane)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quorvane)
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_STRIP_FILES ON)
# The ZIP's name; the installer's is set per generator in WindowsPackageNames.cmake.
set(CPACK_PACKAGE_FILE_NAME Quorvane-${PROJECT_VERSION}-win64)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/WindowsPackageNames.cmake)

# The read-me and the licences of what the programs are built from lie at the top of the folder.
set(QVN_WINDOWS_README ${PROJECT_SOURCE_DIR}/resources/windows/README-ja.txt)
install(FILES ${QVN_WINDOWS_README} DESTINATION .)
if(QVN_WINDOWS_LICENSES AND IS_DIRECTORY ${QVN_WINDOWS_LICENSES})
    install(DIRECTORY ${QVN_WINDOWS_LICENSES}/ DESTINATION licenses)
endif()
# libcurl's, from the folder tools/build-curl-windows.sh built it into.
if(QVN_CURL_PREFIX AND IS_DIRECTORY ${QVN_CURL_PREFIX}/licenses)
    install(DIRECTORY ${QVN_CURL_PREFIX}/licenses/ DESTINATION licenses)
endif()
# Every program carries MinGW-w64's thread library (winpthreads), whose licence asks for its notice.
set(QVN_MINGW_COPYRIGHT /usr/share/doc/mingw-w64-common/copyright)
if(EXISTS ${QVN_MINGW_COPYRIGHT})
    install(FILES ${QVN_MINGW_COPYRIGHT} DESTINATION licenses/mingw-w64 RENAME debian-copyright)
endif()

# The installer: a 64-bit Unicode NSIS installer, like the programs it installs (NSIS's default is
# 32-bit ANSI). Its own texts are NSIS's, in the language of the user's Windows.
# The Start menu folder is "Quorvane", whatever the version.
set(CPACK_NSIS_DEFINES "Target amd64-unicode\n  !define MUI_STARTMENUPAGE_DEFAULTFOLDER Quorvane")
# The licence page shows the program's copyright.
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/packaging/copyright)
set(CPACK_NSIS_PACKAGE_NAME "Quorvane ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME Quorvane)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_ICON ${QVN_ICON})
set(CPACK_NSIS_MUI_UNIICON ${QVN_ICON})
# A new version is installed over the old one, file by file. CPack's "uninstall the old version
# first" would run the uninstaller the registry names, and when the user has deleted the program's
# folder by hand that uninstaller is gone: the installer then stops with "Uninstall failed" (in
# silent mode too, on a message box nobody answers), and Quorvane could never be installed again.
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL OFF)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_CONTACT quorvane@example.com)
set(CPACK_NSIS_URL_INFO_ABOUT ${CPACK_PACKAGE_HOMEPAGE_URL})
if(TARGET qvn1)
    # The Start menu entry, and the program's icon in Windows' list of installed programs.
    set(CPACK_PACKAGE_EXECUTABLES qvn1 Quorvane)
    set(CPACK_NSIS_INSTALLED_ICON_NAME qvn1.exe)
    # CPackConfig.cmake takes the value as written, so its backslash is escaped twice.
    set(CPACK_NSIS_MENU_LINKS "help\\\\qvn-help.html" "Quorvane Help")
endif()

include(CPack)
