# data.pak: the game's files from data/ (game configuration, string table), the system font from
# Debian's fonts-dejavu-core and, with the content build, the game scene with its atlases and
# fonts, the sound effects and the music, zipped beside the executable by bramble-pack, which
# writes the same archive byte for byte from the same files.
set(BRAMBLE_SYSFONT /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf CACHE FILEPATH
    "The font packed as data/sysfont.ttf")
add_executable(bramble-pack ${CMAKE_SOURCE_DIR}/data/pack/pack.cpp)
target_link_libraries(bramble-pack PRIVATE PkgConfig::MINIZIP)

set(pak_sources game/game.ini game/english.txt)
set(pak_arguments data/sysfont.ttf=${BRAMBLE_SYSFONT} ${BRAMBLE_GAME_PAK_ARGS})
set(pak_inputs ${BRAMBLE_SYSFONT} ${BRAMBLE_GAME_PAK_INPUTS})
foreach(source ${pak_sources})
    list(APPEND pak_arguments data/${source}=${CMAKE_SOURCE_DIR}/data/${source})
    list(APPEND pak_inputs ${CMAKE_SOURCE_DIR}/data/${source})
endforeach()
set(BRAMBLE_DATA_PAK ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/data.pak)
add_custom_command(OUTPUT ${BRAMBLE_DATA_PAK}
    COMMAND bramble-pack ${BRAMBLE_DATA_PAK} ${pak_arguments}
    DEPENDS bramble-pack ${pak_inputs}
    COMMENT "Packing data.pak"
    VERBATIM)
add_custom_target(datapak ALL DEPENDS ${BRAMBLE_DATA_PAK})
if(BRAMBLE_CONTENT)
    add_dependencies(datapak game_scene)
endif()
add_dependencies(bramble-way datapak)
install(TARGETS bramble-way RUNTIME DESTINATION .)
install(FILES ${BRAMBLE_DATA_PAK} DESTINATION .)
