# Install rules and the Debian package (scripts/package.sh): the executable, the network helper and
# the core under lib/nimbra/ (the helper runs the core in data/ beside itself), a bin/nimbra link, the menu entry,
# hicolor icons drawn from the logo, and the documents. The core is the build's data/nimbra-server:
# the stub unless NIMBRA_CORE_EXECUTABLE names a real sing-box (tools/stub-core/CMakeLists.txt).
if(WIN32)
    include(${PROJECT_SOURCE_DIR}/packaging/windows/install.cmake)
    return()
endif()

include(GNUInstallDirs)
set(_nimbra_libdir lib/nimbra)

install(TARGETS nimbra RUNTIME DESTINATION ${_nimbra_libdir})
# Owner, mode and capability come from postinst, which creates the group first.
install(TARGETS nimbra-net-installed RUNTIME DESTINATION ${_nimbra_libdir})
install(PROGRAMS ${CMAKE_BINARY_DIR}/data/nimbra-server DESTINATION ${_nimbra_libdir}/data)

set(_nimbra_package_dir ${CMAKE_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${_nimbra_package_dir})
file(CREATE_LINK ../${_nimbra_libdir}/nimbra ${_nimbra_package_dir}/nimbra SYMBOLIC)
install(FILES ${_nimbra_package_dir}/nimbra DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES packaging/linux/Nimbra.Desktop.Accelerator.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# The logo in the sizes a menu, a panel and a launcher ask for.
set(_nimbra_icon_sizes 16 24 32 48 64 128 256)
set(_nimbra_icon_outputs)
foreach(size IN LISTS _nimbra_icon_sizes)
    list(APPEND _nimbra_icon_outputs ${_nimbra_package_dir}/icons/${size}x${size}/apps/nimbra.png)
endforeach()
qt_add_executable(nimbra_iconsizes tools/icon-sizes/iconsizes.cpp)
target_link_libraries(nimbra_iconsizes PRIVATE nimbra_warnings Qt6::Gui)
add_custom_command(OUTPUT ${_nimbra_icon_outputs}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:nimbra_iconsizes>
            ${PROJECT_SOURCE_DIR}/resources/assets/logo.png ${_nimbra_package_dir}/icons nimbra
            ${_nimbra_icon_sizes}
    DEPENDS nimbra_iconsizes ${PROJECT_SOURCE_DIR}/resources/assets/logo.png
    COMMENT "Drawing the hicolor icons from the logo"
    VERBATIM)
add_custom_target(nimbra_icons ALL DEPENDS ${_nimbra_icon_outputs})
install(DIRECTORY ${_nimbra_package_dir}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

install(FILES README.md packaging/linux/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nimbra)

# What the package holds, for scripts/package.sh to build (packaging itself builds nothing: the tests
# need not be built for a package).
add_custom_target(nimbra_package_files DEPENDS nimbra nimbra-net-installed nimbra_icons)
if(TARGET nimbra-core-executable)
    add_dependencies(nimbra_package_files nimbra-core-executable)
else()
    add_dependencies(nimbra_package_files nimbra-server)
endif()
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbra)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Nimbra)
set(CPACK_PACKAGE_CONTACT "Nimbra developers <dev@nimbra.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Nimbra加速器 - game accelerator client")
set(CPACK_PACKAGE_DESCRIPTION
    "Desktop client of the Nimbra game-acceleration service: sign in, pick a game and a route,\n\
and the chosen game's traffic goes through the Nimbra core's tunnel.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the shared libraries do not name: the QML modules the interface imports (QtQuick brings
# QtQml and its WorkerScript; the tray needs Qt.labs.platform), setcap, groupadd and usermod for the
# maintainer scripts, and the interface's font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-templates, \
qml6-module-qtquick-window, qml6-module-qtquick-shapes, qml6-module-qtqml, qml6-module-qtqml-workerscript, \
qml6-module-qt-labs-platform, \
libcap2-bin, passwd, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/linux/postinst
    ${PROJECT_SOURCE_DIR}/packaging/linux/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)
include(CPack)
