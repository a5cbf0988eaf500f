# The files shipped with the program, beside the built programs and in the
# install:
#
#   build/                     bin/pixtrel, bin/pixtrel-cli
#     <data/...>               share/pixtrel/<data/...>   the manual, pages, wizards
#     icons/pixtrel.ico        share/pixtrel/icons/       the program's icon library
#                              share/applications/pixtrel.desktop
#                              share/icons/hicolor/NxN/apps/pixtrel.png
#                              share/mime/packages/pixtrel.xml
#                              share/man/man1/pixtrel-cli.1.gz
#
# The program finds its data beside itself when the folder holds it (a
# build), else in ../share/pixtrel (ShippedDataFolder); its settings go to the
# user's configuration folder when its own folder is not writable.
include(GNUInstallDirs)

# data/ copied beside the built programs whenever it changes.
file(GLOB_RECURSE PIXTREL_DATA_FILES CONFIGURE_DEPENDS RELATIVE "${CMAKE_SOURCE_DIR}/data" "${CMAKE_SOURCE_DIR}/data/*")
set(PIXTREL_DATA_COPIES "")
foreach(file IN LISTS PIXTREL_DATA_FILES)
  add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/${file}"
                     COMMAND ${CMAKE_COMMAND} -E copy_if_different "${CMAKE_SOURCE_DIR}/data/${file}"
                             "${CMAKE_BINARY_DIR}/${file}"
                     DEPENDS "${CMAKE_SOURCE_DIR}/data/${file}")
  list(APPEND PIXTREL_DATA_COPIES "${CMAKE_BINARY_DIR}/${file}")
endforeach()
add_custom_target(pixtrel_data ALL DEPENDS ${PIXTREL_DATA_COPIES})

# The manual page, compressed as Debian keeps them.
find_program(PIXTREL_GZIP gzip)
set(PIXTREL_MAN_PAGE "${CMAKE_SOURCE_DIR}/docs/pixtrel-cli.1")
if(PIXTREL_GZIP)
  add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/man/pixtrel-cli.1.gz"
                     COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/man"
                     COMMAND ${PIXTREL_GZIP} -9 -n -c "${PIXTREL_MAN_PAGE}" > "${CMAKE_BINARY_DIR}/man/pixtrel-cli.1.gz"
                     DEPENDS "${PIXTREL_MAN_PAGE}")
  add_custom_target(pixtrel_man_page ALL DEPENDS "${CMAKE_BINARY_DIR}/man/pixtrel-cli.1.gz")
  set(PIXTREL_INSTALLED_MAN_PAGE "${CMAKE_BINARY_DIR}/man/pixtrel-cli.1.gz")
else()
  set(PIXTREL_INSTALLED_MAN_PAGE "${PIXTREL_MAN_PAGE}")
endif()

set(PIXTREL_INSTALL_TARGETS pixtrel-cli)
if(TARGET pixtrel)
  list(APPEND PIXTREL_INSTALL_TARGETS pixtrel)
endif()
install(TARGETS ${PIXTREL_INSTALL_TARGETS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The parts the programs load from their own folder: pixtrel-cli's drawing,
# cipher and photo format modules, and the SANE-backed TWAIN source manager of
# the scan command.
foreach(part pixtrel-draw pixtrel-crypt pixtrel-photo pixtrel-twain-sane)
  if(TARGET ${part})
    install(TARGETS ${part} LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(DIRECTORY "${CMAKE_SOURCE_DIR}/data/" DESTINATION ${CMAKE_INSTALL_DATADIR}/pixtrel)
install(FILES "${PIXTREL_PROGRAM_ICON}" DESTINATION ${CMAKE_INSTALL_DATADIR}/pixtrel/icons)
install(FILES "${PIXTREL_DESKTOP_DIR}/pixtrel.desktop" DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${PIXTREL_DESKTOP_DIR}/pixtrel.xml" DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(DIRECTORY "${PIXTREL_DESKTOP_DIR}/hicolor" DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES "${PIXTREL_INSTALLED_MAN_PAGE}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package (scripts/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pixtrel)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Pixtrel developers <pixtrel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "image converter and light image editor")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Converts images between GIF, JPEG, PNG, TIFF, BMP, ICO, Targa and older\nformats, edits them lightly (effects, resizing, colour depth, shapes,\noverlays) and converts many files in one batch. pixtrel-cli runs the same\nconversions from the command line.")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beside the libraries the scan finds: Qt's platform plugins, without which
# the desktop program cannot open a window, and the desktop's opener for the
# manual and the web page.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The install of the package's own files only (not GoogleTest's, say).
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Pixtrel;Unspecified;/")
include(CPack)
