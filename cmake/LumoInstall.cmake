# The installed program and its Debian package (scripts/package.sh).
#
# Everything the program loads or starts from its own folder (its shared
# libraries, among them those it loads by name when first needed: the media
# player, the about dialog's device list; the companion castagent,
# the voice engine, the web view plugin, the help page) goes into one private folder, /usr/lib/lumostudent, with the
# program itself; /usr/bin/LumoStudent is a link to it. The program finds its
# folder through /proc/self/exe, which names the link's target, so the
# installed program and the build tree (everything in bin/) look alike to it,
# and castagent, watching for the program beside itself, finds it there too.

set(LUMO_INSTALL_PRIVATE_DIR lib/lumostudent)
set(LUMO_APP_ID org.lumoclass.LumoStudent)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)

get_property(shared_libraries GLOBAL PROPERTY LUMO_SHARED_LIBRARIES)
set(private_targets LumoStudent castagent whiteboardole_webview ${shared_libraries})
foreach(target IN LISTS private_targets)
  if(NOT TARGET ${target})
    message(STATUS "install: ${target} is not in the build; the package would lack it")
    continue()
  endif()
  # Installed, each finds the others in its own folder.
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${target}
    RUNTIME DESTINATION ${LUMO_INSTALL_PRIVATE_DIR}
    LIBRARY DESTINATION ${LUMO_INSTALL_PRIVATE_DIR}
    # Private libraries: no development files, no versioned names.
    NAMELINK_SKIP)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/client/shell/help/LumoStudent.html
  DESTINATION ${LUMO_INSTALL_PRIVATE_DIR}/help)

file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packaging)
file(CREATE_LINK ../${LUMO_INSTALL_PRIVATE_DIR}/LumoStudent
  ${CMAKE_CURRENT_BINARY_DIR}/packaging/LumoStudent SYMBOLIC)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/LumoStudent DESTINATION bin)

install(FILES ${packaging}/${LUMO_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${packaging}/${LUMO_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${packaging}/${LUMO_APP_ID}.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${packaging}/${LUMO_APP_ID}-48.png DESTINATION share/icons/hicolor/48x48/apps
  RENAME ${LUMO_APP_ID}.png)

# Debian wants manual pages and the changelog compressed, without a time stamp.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(manual ${CMAKE_CURRENT_BINARY_DIR}/packaging/LumoStudent.1.gz)
add_custom_command(OUTPUT ${manual}
  COMMAND ${GZIP_PROGRAM} -9n -c ${packaging}/LumoStudent.1 > ${manual}
  DEPENDS ${packaging}/LumoStudent.1)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${GZIP_PROGRAM} -9n -c ${packaging}/changelog > ${changelog}
  DEPENDS ${packaging}/changelog)
add_custom_target(lumo_package_files ALL DEPENDS ${manual} ${changelog})
install(FILES ${manual} DESTINATION share/man/man1)
install(FILES ${changelog} ${packaging}/copyright DESTINATION share/doc/lumostudent)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumostudent)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "LumoStudent developers <lumostudent@lumoclass.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "student side of an online voice classroom")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "The student logs in to a campus server, books courses, receives each\n\
course's courseware and enters a live class: the roster, notes, raising a\n\
hand, the microphone floor, voice and private voice talks, a shared\n\
whiteboard over the courseware page and the media the teacher plays.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS /usr/${LUMO_INSTALL_PRIVATE_DIR})
# Loaded at run time, out of dpkg-shlibdeps' sight: the media back end's
# plugins and fonts for the Chinese texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-libav, gstreamer1.0-plugins-bad, pulseaudio | pipewire-pulse")
set(CPACK_STRIP_FILES ON)
include(CPack)
