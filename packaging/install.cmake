# What `cmake --install` puts under the prefix, and the Debian package that
# `make package` builds from it. The application id names the desktop file,
# the icon and the metainfo.
include(GNUInstallDirs)
set(TARN_APP_ID org.tarnblog.Tarn)
set(_pkg ${CMAKE_SOURCE_DIR}/packaging)

# The conversion worker and the desktop program go beside tarn, where tarn
# looks for them.
install(TARGETS tarn tarn-convert-worker RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The image module in tarn's library folder, where tarn looks for it.
install(TARGETS tarn-images LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tarn)
if(TARN_GUI)
  install(TARGETS tarn-desktop RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# tarn finds its skeleton at ../share/tarn/skeleton from its own folder.
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/tarn/skeleton/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tarn/skeleton)
install(DIRECTORY ${CMAKE_BINARY_DIR}/share/tarn/skeleton-en/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/tarn/skeleton-en)
install(FILES ${_pkg}/${TARN_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_pkg}/${TARN_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_pkg}/icons/${TARN_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
  install(FILES ${_pkg}/icons/tarn-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${TARN_APP_ID}.png)
endforeach()
install(FILES ${_pkg}/tarn.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${_pkg}/tarn.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME tarn)

# make package: a .deb whose library dependencies dpkg-shlibdeps finds;
# git deploys and xdg-utils opens folders and pages. Nothing of the build
# or the tests (compilers, npm, Hugo, Chromium, Xvfb) is needed to run.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarn)
set(CPACK_PACKAGE_VENDOR "Tarn Blog Editor")
set(CPACK_PACKAGE_CONTACT "Tarn Blog Editor developers <tarn@tarnblog.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop editor and generator for static blogs")
# The summary above is the synopsis; this is the extended description.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Tarn Blog Editor keeps a blog as Markdown posts, renders it into a static\n"
  "site with its themes (pages, archive, RSS feed) and publishes it to a git\n"
  "remote. The desktop program edits and previews posts; every command also\n"
  "runs on the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/tarn-blog/tarn")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libvips and exiv2 (the image module's) come through the shared-library
# dependencies; AVIF needs libheif's encoder, which libheif1 brings (libaom).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "git, xdg-utils, libheif1")
# The publish targets of system.deploy besides git: recommended, not
# required, since a blog that publishes with git (the default) needs none.
# The editor's spell checking finds its dictionaries through enchant's
# Hunspell back end; English is the one most posts need.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "rsync, openssh-client, rclone, hunspell-en-us")
include(CPack)
