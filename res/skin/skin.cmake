# The demo skin package: skin_art (tools/skin-art) draws the pictures that
# skin.info names, and mkarchive packs them with skin.info into a stored zip,
# ${out}/skin.zip, embedded as "ZIP" "SKIN.ZIP". Included by res/CMakeLists.txt.
add_subdirectory(${PROJECT_SOURCE_DIR}/tools/skin-art ${PROJECT_BINARY_DIR}/tools/skin-art)

set(skin_pictures wnd_bg.png banner.png icon16.png tray.png menu_bg.png progress_bg.png
    progress_block.png)
foreach(look 0 1 2 3)
    foreach(kind btn_primary btn_success btn_neutral btn_small sys_min sys_close)
        list(APPEND skin_pictures ${kind}_${look}.png)
    endforeach()
endforeach()

set(skin_art_dir ${out}/skin-art)
set(skin_picture_files)
set(skin_members skin.info=${CMAKE_CURRENT_SOURCE_DIR}/skin/skin.info)
foreach(picture IN LISTS skin_pictures)
    list(APPEND skin_picture_files ${skin_art_dir}/${picture})
    list(APPEND skin_members img/${picture}=${skin_art_dir}/${picture})
endforeach()

add_custom_command(OUTPUT ${skin_picture_files}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${skin_art_dir}
    COMMAND skin_art ${skin_art_dir} ${skin_pictures}
    DEPENDS skin_art
    COMMENT "Drawing the demo skin's pictures"
    VERBATIM)
add_custom_command(OUTPUT ${out}/skin.zip
    COMMAND mkarchive --format zip --store --output ${out}/skin.zip ${skin_members}
    DEPENDS mkarchive ${CMAKE_CURRENT_SOURCE_DIR}/skin/skin.info ${skin_picture_files}
    COMMENT "Packing the demo skin"
    VERBATIM)
add_custom_target(skin_package DEPENDS ${out}/skin.zip)
list(APPEND demo_outputs ${out}/skin.zip)
