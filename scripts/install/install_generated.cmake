# Runs at install time (cmake --install, cpack), when the prefix is known: makes the files that
# name installed paths or must be compressed, and installs them. The variables KALVENTO_* are
# set by the install rules of CMakeLists.txt.
set(prefix "${CMAKE_INSTALL_PREFIX}")
cmake_path(NORMAL_PATH prefix)
string(REGEX REPLACE "(.)/$" "\\1" prefix "${prefix}")

set(KALVENTO_BIN_DIR "${prefix}/${KALVENTO_BINDIR}")
set(KALVENTO_DOC_DIR "${prefix}/${KALVENTO_DOCDIR}")
set(KALVENTO_LAUNCHER "${prefix}/${KALVENTO_LIBEXECDIR}/kalvento/kalvento-desktop")
set(made "${KALVENTO_BINARY_DIR}/install-made")
set(source "${KALVENTO_SOURCE_DIR}/scripts/install")
file(MAKE_DIRECTORY "${made}")
configure_file("${source}/kalvento.service.in" "${made}/kalvento.service" @ONLY)
configure_file("${source}/kalvento.desktop.in" "${made}/kalvento.desktop" @ONLY)
configure_file("${source}/kalvento-desktop.in" "${made}/kalvento-desktop" @ONLY)
foreach(name kalvento.1 changelog)
  # -n: no name or time in the header, so the same page makes the same package.
  execute_process(COMMAND gzip -9nc "${source}/${name}" OUTPUT_FILE "${made}/${name}.gz"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${source}/${name}")
  endif()
endforeach()

# The user manager looks in <prefix>/lib/systemd/user only for /usr and /usr/local; under a
# home prefix (~/.local) it looks in share/systemd/user (systemd-analyze --user unit-paths).
if(KALVENTO_USER_UNIT_DIR)
  cmake_path(ABSOLUTE_PATH KALVENTO_USER_UNIT_DIR BASE_DIRECTORY "${prefix}"
             OUTPUT_VARIABLE unit_dir)
elseif(prefix STREQUAL "/usr" OR prefix STREQUAL "/usr/local")
  set(unit_dir "${prefix}/lib/systemd/user")
else()
  set(unit_dir "${prefix}/share/systemd/user")
endif()

set(mode PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
file(INSTALL "${made}/kalvento.service" DESTINATION "${unit_dir}" ${mode})
file(INSTALL "${made}/kalvento.desktop" DESTINATION "${prefix}/${KALVENTO_DATADIR}/applications"
     ${mode})
file(INSTALL "${made}/kalvento.1.gz" DESTINATION "${prefix}/${KALVENTO_MANDIR}/man1" ${mode})
file(INSTALL "${made}/kalvento-desktop" DESTINATION "${prefix}/${KALVENTO_LIBEXECDIR}/kalvento"
     PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                 WORLD_EXECUTE)
file(INSTALL "${made}/changelog.gz" DESTINATION "${KALVENTO_DOC_DIR}" ${mode})
