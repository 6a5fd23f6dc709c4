# The Debian package: "cpack -G DEB" in a build folder, or scripts/package.sh. Run-time
# dependencies come from the shared libraries of the executable and the engine
# (dpkg-shlibdeps); what they load by name at run time is listed by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME volnar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "VOLNAR developers")
set(CPACK_PACKAGE_CONTACT "VOLNAR developers <volnar@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "skinned player for music files and internet radio")
# The summary is the first line of the description; these lines follow it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "VOLNAR is a small audio player with a borderless window of dark metal, an\n\
LCD-style display, a spectrum analyzer and a mini window. It plays the MP3,\n\
WAV and MIDI files of a folder and internet radio stations from radio.pls.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://volnar.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's X11 platform plugin is loaded by name, not linked.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Native Wayland, a General MIDI SoundFont for MIDI files, the faces standing in for the
# skin's platform fonts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-wayland, timgm6mb-soundfont | sf2-soundfont-gm, fonts-liberation, fonts-dejavu-core")
# Only what the install rules name goes into the package: the player, never tests.
set(CPACK_DEB_COMPONENT_INSTALL OFF)
include(CPack)
