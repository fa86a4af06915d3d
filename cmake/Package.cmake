# The Debian package (CPack): numen, numen-console, the desktop entry with
# its icon and the README, for /usr. Depends are found by dpkg-shlibdeps
# from the programs' own libraries (Qt 6 Widgets, the C and C++ runtimes).
# `bash tools/package` builds the two programs and the package.
install(TARGETS numen-console RUNTIME DESTINATION bin)
if(TARGET numen)
  install(TARGETS numen RUNTIME DESTINATION bin)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/packaging/numen.desktop DESTINATION share/applications)
  install(FILES ${CMAKE_SOURCE_DIR}/docs/packaging/numen.svg DESTINATION share/icons/hicolor/scalable/apps)
endif()
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/numen)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME numen)
set(CPACK_PACKAGE_VERSION 0.1.0)
set(CPACK_PACKAGE_VENDOR Numen)
set(CPACK_PACKAGE_CONTACT "Numen developers <numen@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Searches for and proves large primes of special forms")
set(CPACK_PACKAGE_DESCRIPTION
    "Numen tests and proves numbers k*b^n+1, k*b^n-1, generalized Fermat numbers and cyclotomic values: trial division, probable-prime tests with FFT arithmetic, N-1 and N+1 proofs, Fermat divisibility and related primes, with checkpoints. numen is the Qt window, numen-console the terminal runner.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
