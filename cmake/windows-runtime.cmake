# The Windows programs' runtime, copied beside them into the build's bin
# folder: Qt's DLLs, the plugins Qt loads from the program's folder (the
# Windows platform and style; the offscreen platform, on which vestrim-cli
# draws its PDF files), Qt's translations, and the MinGW runtime that Qt and the programs are linked with. The folder then runs
# as it is, under Wine or on Windows, and scripts/windows-package ships it.
set(VESTRIM_RUNTIME_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})

set(VESTRIM_MINGW_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
    message(FATAL_ERROR "The compiler does not know where ${dll} is")
  endif()
  list(APPEND VESTRIM_MINGW_DLLS ${path})
endforeach()

set(qt_dlls Qt6::Core Qt6::Gui Qt6::Widgets Qt6::PrintSupport)
if(VESTRIM_BUILD_TESTS)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  list(APPEND qt_dlls Qt6::Test)
endif()
set(copy_commands)
foreach(target ${qt_dlls})
  list(APPEND copy_commands COMMAND ${CMAKE_COMMAND} -E copy_if_different
    $<TARGET_FILE:${target}> ${VESTRIM_RUNTIME_DIR}/)
endforeach()
foreach(plugin platforms/Qt6::QWindowsIntegrationPlugin platforms/Qt6::QOffscreenIntegrationPlugin
    styles/Qt6::QWindowsVistaStylePlugin)
  string(REPLACE "/" ";" parts ${plugin})
  list(GET parts 0 folder)
  list(GET parts 1 target)
  list(APPEND copy_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VESTRIM_RUNTIME_DIR}/${folder}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${VESTRIM_RUNTIME_DIR}/${folder}/)
endforeach()
# Qt's own translations of its dialogs, for the shipped languages but
# English: the host's, of the same Qt version (the files are the same on
# every system).
foreach(code it)
  set(qm /usr/share/qt6/translations/qtbase_${code}.qm)
  if(NOT EXISTS ${qm})
    message(FATAL_ERROR "${qm} is missing: apt-get install qt6-translations-l10n")
  endif()
  list(APPEND copy_commands
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VESTRIM_RUNTIME_DIR}/translations
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qm} ${VESTRIM_RUNTIME_DIR}/translations/)
endforeach()
add_custom_target(vestrim_windows_runtime ALL
  ${copy_commands}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VESTRIM_MINGW_DLLS} ${VESTRIM_RUNTIME_DIR}/
  COMMENT "Qt's and MinGW's DLLs beside the programs"
  VERBATIM)
