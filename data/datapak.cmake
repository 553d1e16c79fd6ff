# data.pak: the game's files from data/ (game configuration, scenes, brushes) and the system
# font from Debian's fonts-dejavu-core, zipped beside the executable by bramble-pack, which
# writes the same archive byte for byte from the same files.
set(BRAMBLE_SYSFONT /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf CACHE FILEPATH
    "The font packed as data/sysfont.ttf")
add_executable(bramble-pack ${CMAKE_SOURCE_DIR}/data/pack/pack.cpp)
target_link_libraries(bramble-pack PRIVATE PkgConfig::MINIZIP)

# The start scene's pictures, written with the engine's encoders.
add_executable(bramble-scene-pictures ${CMAKE_SOURCE_DIR}/data/pack/scene-pictures.cpp)
target_link_libraries(bramble-scene-pictures PRIVATE engine)
set(scene_pictures_dir ${CMAKE_BINARY_DIR}/data/scene-pictures)
set(scene_pictures ${scene_pictures_dir}/scene_title_background.jpg
    ${scene_pictures_dir}/scene_title_atlas1.bmp)
add_custom_command(OUTPUT ${scene_pictures}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${scene_pictures_dir}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
        $<TARGET_FILE:bramble-scene-pictures> ${scene_pictures_dir}
    DEPENDS bramble-scene-pictures
    COMMENT "Writing the start scene's pictures"
    VERBATIM)

set(pak_sources game/game.ini game/english.txt scenes/title.ini brushes/objects.ini)
set(pak_arguments data/sysfont.ttf=${BRAMBLE_SYSFONT})
set(pak_inputs ${BRAMBLE_SYSFONT} ${scene_pictures})
foreach(picture ${scene_pictures})
    get_filename_component(picture_name ${picture} NAME)
    list(APPEND pak_arguments data/graphics/${picture_name}=${picture})
endforeach()
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
add_dependencies(bramble-way datapak)
