# The install layout beyond the plug-in and its language and help files (which
# src/ and lang/ install), and the release packages CPack makes from it
# (scripts/package): for FAR a ZIP of Plugins/Tagwright/ with readme files and
# file_id.diz; for Linux the Debian package tagwright. Installed files are
# stripped in the packages.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_package_src ${PROJECT_SOURCE_DIR}/package)
set(_package_out ${PROJECT_BINARY_DIR}/package)

set(CPACK_PACKAGE_NAME tagwright)
set(CPACK_PACKAGE_VENDOR "The Tagwright developers")
set(CPACK_PACKAGE_CONTACT "The Tagwright developers <tagwright@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  # The readme files and file_id.diz in the code pages FAR users read them in.
  set(_texts ${_package_out}/ReadmeEng.txt ${_package_out}/ReadmeRus.txt ${_package_out}/file_id.diz)
  add_custom_command(
    OUTPUT ${_texts}
    COMMAND ${Python3_EXECUTABLE} ${_package_src}/dos_text.py --version ${PROJECT_VERSION} --out ${_package_out}
            ${_package_src}/ReadmeEng.txt:ascii ${_package_src}/ReadmeRus.txt:cp866 ${_package_src}/file_id.diz:ascii
    DEPENDS ${_package_src}/dos_text.py ${_package_src}/ReadmeEng.txt ${_package_src}/ReadmeRus.txt
            ${_package_src}/file_id.diz
    COMMENT "Writing the readme files of the FAR release"
    VERBATIM)
  add_custom_target(tagwright_release_texts ALL DEPENDS ${_texts})
  install(FILES ${_texts} DESTINATION ${TAGWRIGHT_INSTALL_DATA_DIR})

  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "Tagwright-${PROJECT_VERSION}-far170-win32")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  if(TARGET tagwright)
    install(TARGETS tagwright RUNTIME DESTINATION bin)
  endif()
  if(TARGET tagwright-inspect)
    install(TARGETS tagwright-inspect RUNTIME DESTINATION bin)
  endif()
  # Manual pages, compressed as Debian keeps them.
  set(_manuals)
  foreach(_page tagwright tagwright-inspect)
    configure_file(${_package_src}/${_page}.1 ${_package_out}/${_page}.1 @ONLY)
    add_custom_command(
      OUTPUT ${_package_out}/${_page}.1.gz
      COMMAND gzip -9 -n -f -k ${_package_out}/${_page}.1
      DEPENDS ${_package_out}/${_page}.1
      VERBATIM)
    list(APPEND _manuals ${_package_out}/${_page}.1.gz)
  endforeach()
  add_custom_target(tagwright_manuals ALL DEPENDS ${_manuals})
  install(FILES ${_manuals} DESTINATION share/man/man1)
  # The users' readme and the copyright file, where Debian keeps them (the
  # developers' README.md stays in the source tree).
  install(FILES ${_package_src}/README.Linux DESTINATION share/doc/tagwright RENAME README)
  install(FILES ${_package_src}/copyright DESTINATION share/doc/tagwright)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_NAME tagwright)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "Tagwright shows and edits the ID3v1 and ID3v2 tags and audio properties of\n"
      "MP3 files, writes file lists from templates, renames files from their tags\n"
      "and creates tags on many files at once from their paths or a list file.\n"
      "The plug-in runs in tagwright, a FAR-like file panel on ncurses;\n"
      "tagwright-inspect prints tags and audio properties as JSON.")
endif()

include(CPack)
