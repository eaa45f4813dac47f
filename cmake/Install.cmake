# What an installed Quarvel Descompressor is: the programs, its menu entry, icon and
# metadata, the programs' manuals, the demo ROM image with its palette and
# catalogue, and a Debian package of all that (cpack -G DEB).
include(GNUInstallDirs)

set(QUARVEL_APP_ID org.quarvel.Descompressor)
configure_file(${PROJECT_SOURCE_DIR}/data/${QUARVEL_APP_ID}.metainfo.xml
               ${PROJECT_BINARY_DIR}/data/${QUARVEL_APP_ID}.metainfo.xml @ONLY)

install(TARGETS quarvel-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET quarvel)
  # On macOS the window is an application bundle, installed at the prefix's top (as into
  # /Applications); a bundle needs a destination of its own under the 3.25 policies.
  install(TARGETS quarvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} BUNDLE DESTINATION .)
  install(FILES data/${QUARVEL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_BINARY_DIR}/data/${QUARVEL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES data/icons/${QUARVEL_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 32 48 64 128 256)
    install(FILES data/icons/${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${QUARVEL_APP_ID}.png)
  endforeach()
endif()
install(FILES docs/quarvel-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(TARGET quarvel)
  install(FILES docs/quarvel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
# The C library for other programs: its soname's links, its header, pkg-config's file, a
# CMake package (find_package(Quarvel): the target Quarvel::quarvel) and the Python module.
if(TARGET quarvel_c)
  install(TARGETS quarvel_c EXPORT QuarvelTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES include/quarvel/quarvel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quarvel)
  install(FILES ${PROJECT_BINARY_DIR}/quarvel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  set(cmake_package ${CMAKE_INSTALL_LIBDIR}/cmake/Quarvel)
  install(EXPORT QuarvelTargets NAMESPACE Quarvel:: DESTINATION ${cmake_package})
  include(CMakePackageConfigHelpers)
  write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuarvelConfigVersion.cmake COMPATIBILITY SameMajorVersion)
  file(WRITE ${PROJECT_BINARY_DIR}/QuarvelConfig.cmake "include(\${CMAKE_CURRENT_LIST_DIR}/QuarvelTargets.cmake)\n")
  install(FILES ${PROJECT_BINARY_DIR}/QuarvelConfig.cmake ${PROJECT_BINARY_DIR}/QuarvelConfigVersion.cmake
          DESTINATION ${cmake_package})
  install(FILES ${PROJECT_BINARY_DIR}/python/quarvel/__init__.py DESTINATION ${QUARVEL_PYTHON_DIR}/quarvel)
endif()
# Shell completion, where each shell looks for that of installed programs.
install(FILES data/completion/quarvel-cli.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME quarvel-cli)
# zsh reads vendor-completions only under /usr, site-functions under any other prefix:
# chosen when installing, as the prefix may be given only then (cmake --install --prefix).
install(CODE "
  if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr/?$\")
    set(zsh_functions vendor-completions)
  else()
    set(zsh_functions site-functions)
  endif()
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/zsh/\${zsh_functions}\" TYPE FILE
       FILES \"${PROJECT_SOURCE_DIR}/data/completion/_quarvel-cli\")")
install(FILES data/completion/quarvel-cli.fish DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# Qt's own texts in Portuguese, shipped with the window so that it speaks Portuguese
# wherever it runs.
if(TARGET quarvel)
  get_target_property(qmake Qt6::qmake IMPORTED_LOCATION)
  execute_process(COMMAND ${qmake} -query QT_INSTALL_TRANSLATIONS OUTPUT_VARIABLE qt_translations
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(EXISTS ${qt_translations}/qtbase_pt_BR.qm)
    install(FILES ${qt_translations}/qtbase_pt_BR.qm DESTINATION ${CMAKE_INSTALL_DATADIR}/quarvel/translations)
  else()
    message(WARNING "qtbase_pt_BR.qm not found (qt6-translations-l10n): Qt's own texts will be in English")
  endif()
endif()
install(FILES LICENSE data/THIRD-PARTY-NOTICES.txt DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The demo files and the games' catalogues, made fresh for the package, each in a folder
# of its own under share/quarvel: that folder may be the user's data folder too (as for
# the prefix ~/.local), whose catalogues no install, upgrade or uninstall touches. The
# shipped catalogues are read until the user's first change copies one there.
set(QUARVEL_SHIPPED ${PROJECT_BINARY_DIR}/shipped)
add_custom_command(OUTPUT ${QUARVEL_SHIPPED}/demo.bin
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARVEL_SHIPPED}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${QUARVEL_SHIPPED}/Custom.dat
  COMMAND make_demo ${QUARVEL_SHIPPED}
  DEPENDS make_demo
  COMMENT "Writing the demo files to install")
set(QUARVEL_GAMES Sonic1 Sonic1J Sonic2 Sonic3 SonicK Sonic3K)
set(games_dat)
set(games_tsv)
foreach(game ${QUARVEL_GAMES})
  list(APPEND games_dat ${QUARVEL_SHIPPED}/${game}.dat)
  list(APPEND games_tsv ${PROJECT_SOURCE_DIR}/data/catalogues/${game}.tsv)
endforeach()
add_custom_command(OUTPUT ${games_dat}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QUARVEL_SHIPPED}
  COMMAND make_catalogues ${PROJECT_SOURCE_DIR}/data/catalogues ${QUARVEL_SHIPPED}
  DEPENDS make_catalogues ${games_tsv}
  COMMENT "Writing the games' catalogues to install")
add_custom_target(shipped ALL DEPENDS ${QUARVEL_SHIPPED}/demo.bin ${games_dat})
install(FILES ${QUARVEL_SHIPPED}/demo.bin ${QUARVEL_SHIPPED}/demo.pal DESTINATION ${CMAKE_INSTALL_DATADIR}/quarvel/demo)
install(FILES ${QUARVEL_SHIPPED}/Custom.dat ${games_dat} DESTINATION ${CMAKE_INSTALL_DATADIR}/quarvel/catalogues)

# cmake -P build/uninstall.cmake: removes what the last install listed, and its folders
# left empty, never the user's own.
configure_file(${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake.in ${PROJECT_BINARY_DIR}/uninstall.cmake @ONLY)

set(CPACK_PACKAGE_NAME quarvel)
set(CPACK_PACKAGE_VENDOR "the Quarvel Descompressor authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Extract compressed blocks from Mega Drive ROM images")
set(CPACK_PACKAGE_DESCRIPTION
    "Finds, extracts and decodes the Kosinski, Nemesis, Enigma and Kosinski Moduled compressed blocks of Mega Drive ROM images of the Sonic games, and compresses data back: a window in Portuguese and the quarvel-cli command line; and the codecs for other programs, a C library (libquarvel, with pkg-config and CMake files) and a Python module.")
set(CPACK_PACKAGE_CONTACT "Quarvel Descompressor authors <quarvel@users.noreply.invalid>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
