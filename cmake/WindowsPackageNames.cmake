# Read by cpack for each package it makes: the installer is Quorvane-<version>-setup.exe, the ZIP
# keeps Quorvane-<version>-win64.zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "Quorvane-${CPACK_PACKAGE_VERSION}-setup")
endif()
