# The deployed Windows folder: velmora.exe, the Qt and MinGW run-time DLLs it
# needs, and the Qt plugins it loads at run time (the "windows" platform, the
# native style, GIF for the animations). Which DLLs are needed is read from
# the import tables of the program and the plugins, not listed by hand; the
# DLLs Windows itself provides are the ones found in none of the folders below.

set(velmora_plugins Qt6::QWindowsIntegrationPlugin Qt6::QWindowsVistaStylePlugin Qt6::QGifPlugin)
install(TARGETS velmora RUNTIME DESTINATION .)

# Qt's own words in Portuguese: its translation, from the building machine's
# Debian qt6-translations-l10n (the notices name that source).
find_file(VELMORA_QT_PORTUGUESE qtbase_pt_BR.qm PATHS /usr/share/qt6/translations NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
install(FILES ${VELMORA_QT_PORTUGUESE} DESTINATION translations)

set(velmora_dll_dirs)
foreach(plugin IN LISTS velmora_plugins)
  get_target_property(location ${plugin} IMPORTED_LOCATION_RELEASE)
  get_target_property(type ${plugin} QT_PLUGIN_TYPE)
  install(FILES ${location} DESTINATION ${type})
  list(APPEND velmora_plugin_files ${location})
endforeach()
get_target_property(qt_core_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(qt_bin ${qt_core_dll} DIRECTORY)
list(APPEND velmora_dll_dirs ${qt_bin})
if(MINGW)
  # The compiler's run-time DLLs.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-libgcc-file-name OUTPUT_VARIABLE libgcc
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(gcc_dir ${libgcc} DIRECTORY)
  list(APPEND velmora_dll_dirs ${gcc_dir})
  if(MINGW_TRIPLE)
    list(APPEND velmora_dll_dirs /usr/${MINGW_TRIPLE}/lib)
  endif()
endif()

# Windows finds DLLs whatever the case of their names, and import tables name
# them in any case. On Windows the file system does the same; elsewhere the
# search is made case-blind through a folder of lower-case links to every DLL.
if(CMAKE_HOST_WIN32)
  set(velmora_find_dlls "set(search ${velmora_dll_dirs})")
else()
  set(velmora_find_dlls "
  set(search \"\${CMAKE_CURRENT_BINARY_DIR}/dll-names\")
  file(REMOVE_RECURSE \"\${search}\")
  file(MAKE_DIRECTORY \"\${search}\")
  foreach(dir ${velmora_dll_dirs})
    file(GLOB dlls \"\${dir}/*.dll\")
    foreach(dll IN LISTS dlls)
      get_filename_component(name \"\${dll}\" NAME)
      string(TOLOWER \"\${name}\" lower)
      file(CREATE_LINK \"\${dll}\" \"\${search}/\${lower}\" SYMBOLIC)
    endforeach()
  endforeach()")
endif()
install(CODE "
  ${velmora_find_dlls}
  file(GET_RUNTIME_DEPENDENCIES
    EXECUTABLES \"$<TARGET_FILE:velmora>\"
    LIBRARIES ${velmora_plugin_files}
    DIRECTORIES \${search}
    RESOLVED_DEPENDENCIES_VAR found
    UNRESOLVED_DEPENDENCIES_VAR from_windows)
  foreach(dll IN LISTS found)
    file(REAL_PATH \"\${dll}\" real)
    file(INSTALL \"\${real}\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}\")
  endforeach()
  # Nothing shipped carries debug sections (the compiler's run-time DLLs come
  # with theirs).
  file(GLOB_RECURSE shipped \"\${CMAKE_INSTALL_PREFIX}/*.dll\" \"\${CMAKE_INSTALL_PREFIX}/*.exe\")
  foreach(binary IN LISTS shipped)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${binary}\" RESULT_VARIABLE stripped)
    if(NOT stripped EQUAL 0)
      message(FATAL_ERROR \"could not strip \${binary}\")
    endif()
  endforeach()
")
