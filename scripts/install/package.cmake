# The Debian package (scripts/package.sh runs `cpack -G DEB` on a Release build): everything
# `cmake --install` lays out under /usr, with the runtime libraries found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvento)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "KALVENTO PLAYER maintainers")
set(CPACK_PACKAGE_CONTACT
    "KALVENTO PLAYER maintainers <maintainers@users.noreply.c-seed-11717526.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive still-image sequence player driven by motion")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "KALVENTO PLAYER shows one JPEG frame at a time from numbered contents
folders in one window. Motion seen by a webcam moves through the
sequence, and a pause after a burst of motion reverses it; the mouse
scrubs it, single keys step, jump and switch folders, and learned body
gestures can drive it. Several players on one machine share their
motion, and OSC connects it to other software. It also collects frames
and has ffmpeg make movies of them.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ffmpeg makes the movies; the console and window texts are Japanese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ffmpeg, fonts-noto-cjk | fonts-ipafont-gothic")
# The menu entry asks for the working directory with zenity when it is there.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "zenity")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES TRUE)
# Installed with DESTDIR, so the unit and the menu entry name /usr, not the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
