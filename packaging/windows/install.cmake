# Install rules of the Windows client (cmake --install of the Windows build, scripts/windows/package.sh):
# nimbra.exe, qt.conf, the core under data/, then deploy.sh adds what the executable loads (Qt's and the
# compiler's DLLs, the plugins, the QML modules the interface imports) and checks every DLL import.
install(TARGETS nimbra RUNTIME DESTINATION .)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/qt.conf DESTINATION .)
if(TARGET nimbra-core-executable)
    install(PROGRAMS ${CMAKE_BINARY_DIR}/data/nimbra-server.exe DESTINATION data)
else()
    install(TARGETS nimbra-server RUNTIME DESTINATION data)
endif()

get_filename_component(_nimbra_qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
    OUTPUT_VARIABLE _nimbra_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
    OUTPUT_VARIABLE _nimbra_winpthread OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(_nimbra_libstdcxx_dir "${_nimbra_libstdcxx}" DIRECTORY)
get_filename_component(_nimbra_winpthread_dir "${_nimbra_winpthread}" DIRECTORY)
install(CODE "
    execute_process(COMMAND bash [[${CMAKE_CURRENT_LIST_DIR}/deploy.sh]] \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\"
        [[${_nimbra_qt_prefix}]] [[${PROJECT_SOURCE_DIR}/qml/Nimbra]]
        [[${_nimbra_libstdcxx_dir}]] [[${_nimbra_winpthread_dir}]]
        COMMAND_ERROR_IS_FATAL ANY)
")
