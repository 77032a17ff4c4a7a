# The Windows packages: a ZIP of the deployed folder, and an installer (NSIS)
# that puts it in Program Files with a Start-menu shortcut "Velmora" and an
# uninstaller registered with Windows. The shortcut starts the program in the
# user's Documents folder, where "chat.txt" is kept; uninstalling removes the
# program's files only, never a transcript.
set(CPACK_GENERATOR ZIP NSIS)
# Velmora's licence beside the program (and on the installer's licence page),
# and the licences of the libraries shipped with it, with where their source is.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/packaging/windows/third-party/ DESTINATION licencas-de-terceiros)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# One LZMA stream over every file, with a dictionary large enough to see
# across the DLLs (CPack writes this after "SetCompressor").
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma\nSetCompressorDictSize 64")
set(CPACK_PACKAGE_NAME Velmora)
set(CPACK_PACKAGE_VENDOR ORBEL)
set(CPACK_PACKAGE_FILE_NAME velmora-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Velmora, chat da conferência")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Velmora)
set(CPACK_NSIS_DISPLAY_NAME Velmora)
set(CPACK_NSIS_PACKAGE_NAME Velmora)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Velmora)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/src/resources/velmora.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/src/resources/velmora.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME velmora.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "SetOutPath '$DOCUMENTS'
  CreateShortCut '$SMPROGRAMS\\\\$STARTMENU_FOLDER\\\\Velmora.lnk' '$INSTDIR\\\\velmora.exe'
  SetOutPath '$INSTDIR'")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "Delete '$SMPROGRAMS\\\\$MUI_TEMP\\\\Velmora.lnk'")
include(CPack)
