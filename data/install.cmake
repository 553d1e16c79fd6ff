# The installed game: bramble-way in bin/, its data (songs included) in share/bramble-way/ (the
# game looks for it there from its own path, so this pair of folders is fixed), and what a
# desktop needs to list it: the menu entry, the icon in the hicolor sizes and the AppStream
# metainfo.
set(BRAMBLE_APP_ID com.orvalle.BrambleWay)
set(desktop_dir ${CMAKE_SOURCE_DIR}/data/desktop)
set(BRAMBLE_DESKTOP_FILE ${desktop_dir}/${BRAMBLE_APP_ID}.desktop)
set(BRAMBLE_METAINFO_FILE ${CMAKE_BINARY_DIR}/data/desktop/${BRAMBLE_APP_ID}.metainfo.xml)
configure_file(${desktop_dir}/${BRAMBLE_APP_ID}.metainfo.xml.in ${BRAMBLE_METAINFO_FILE} @ONLY)

install(TARGETS bramble-way RUNTIME DESTINATION bin)
install(FILES ${BRAMBLE_DATA_PAK} DESTINATION share/bramble-way)
install(FILES ${BRAMBLE_DESKTOP_FILE} DESTINATION share/applications)
install(FILES ${BRAMBLE_METAINFO_FILE} DESTINATION share/metainfo)

if(BRAMBLE_CONTENT)
    # The icon, drawn in the pictures' style and rendered in the theme's sizes.
    set(icon_dir ${CMAKE_BINARY_DIR}/data/icons/hicolor)
    set(icon_stamp ${icon_dir}/256x256/apps/${BRAMBLE_APP_ID}.png)
    file(GLOB icon_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/art/*.py)
    add_custom_command(OUTPUT ${icon_stamp}
        COMMAND ${BRAMBLE_PYTHON3} ${CMAKE_SOURCE_DIR}/data/art/icon.py --out ${icon_dir}
            --name ${BRAMBLE_APP_ID} --rsvg ${BRAMBLE_RSVG}
        DEPENDS ${icon_sources}
        COMMENT "Drawing the icon"
        VERBATIM)
    add_custom_target(icon ALL DEPENDS ${icon_stamp})
    install(DIRECTORY ${icon_dir}/ DESTINATION share/icons/hicolor)
endif()

# cpack -G DEB: a Debian package of the above under /usr, its dependencies read off the
# executable's libraries by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME bramble-way)
set(CPACK_PACKAGE_VENDOR Orvalle)
set(CPACK_PACKAGE_CONTACT "Orvalle")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "The Bramble Way, an arcade game: fall through the sky")
set(CPACK_PACKAGE_DESCRIPTION "Steer a character falling along a beanstalk, catch coins, \
chests and hearts, and dodge the stones and the bramble burrs.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(BRAMBLE_TESTS)
    # The test build packs what it has just built for the tests: cpack's usual check that
    # everything is up to date would walk every test program first.
    set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
endif()
include(CPack)
