# The windows-zip target: quarvel-cli-VERSION-windows-x86_64.zip, the command line as a
# Windows user takes it: a folder to unzip anywhere, that holds the program, the games'
# catalogues and the demo files beside it (where a portable program reads them), the
# licence, the notices and a short README, the texts with Windows line ends.
if(NOT TARGET make_catalogues)  # a cross build without Wine to run it
  return()
endif()
set(name quarvel-cli-${PROJECT_VERSION}-windows-x86_64)
set(texts ${PROJECT_BINARY_DIR}/zip-texts)
configure_file(data/windows/README.txt ${texts}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(LICENSE ${texts}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(data/THIRD-PARTY-NOTICES.txt ${texts}/THIRD-PARTY-NOTICES.txt @ONLY NEWLINE_STYLE CRLF)
file(GLOB known_blocks CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/catalogues/*.tsv)
# What the folder holds, named: not the catalogues' lock files, which stay on Windows.
set(packed)
foreach(file quarvel-cli.exe README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt demo.bin demo.pal Custom.dat)
  list(APPEND packed ${name}/${file})
endforeach()
foreach(tsv ${known_blocks})
  get_filename_component(game ${tsv} NAME_WE)
  list(APPEND packed ${name}/${game}.dat)
endforeach()
set(folder ${PROJECT_BINARY_DIR}/zip/${name})
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/zip)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${name}.zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${folder}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
  COMMAND make_catalogues ${PROJECT_SOURCE_DIR}/data/catalogues ${folder}
  COMMAND make_demo ${folder}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quarvel-cli> ${texts}/README.txt ${texts}/LICENSE.txt
          ${texts}/THIRD-PARTY-NOTICES.txt ${folder}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${PROJECT_BINARY_DIR}/${name}.zip --format=zip ${packed}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/zip
  DEPENDS quarvel-cli make_catalogues make_demo ${known_blocks} ${texts}/README.txt ${texts}/LICENSE.txt
          ${texts}/THIRD-PARTY-NOTICES.txt
  COMMENT "Packing ${name}.zip")
add_custom_target(windows-zip DEPENDS ${PROJECT_BINARY_DIR}/${name}.zip)
