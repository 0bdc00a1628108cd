# The test program's own resources, and the shared objects the module and
# resource tests load from the program's folder.
set(mod_dir ${CMAKE_CURRENT_LIST_DIR}/modules)

# Inputs made at build time, to show that generated files are embedded and
# followed: a copied text and a one-image icon.
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${mod_dir}/payload/generated.txt ${CMAKE_CURRENT_BINARY_DIR}/generated.txt
    DEPENDS ${mod_dir}/payload/generated.txt
    VERBATIM)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/test.ico
    COMMAND sh -c "printf '\\000\\000\\001\\000\\001\\000\\020\\020\\000\\000\\001\\000\\040\\000\\006\\000\\000\\000\\026\\000\\000\\000IMAGE!' > test.ico"
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    VERBATIM)
win32_add_resources(win32_kernel32_tests ${mod_dir}/tests.resources)

add_library(win32_testmod MODULE ${mod_dir}/testmod.cpp)
set_target_properties(win32_testmod PROPERTIES OUTPUT_NAME testmod PREFIX "" SUFFIX ".dll"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(win32_testmod PRIVATE win32)
win32_add_resources(win32_testmod ${mod_dir}/testmod.resources)

add_library(win32_nores MODULE ${mod_dir}/nores.cpp)
set_target_properties(win32_nores PROPERTIES OUTPUT_NAME nores PREFIX "" SUFFIX ".dll"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})

add_dependencies(win32_kernel32_tests win32_testmod win32_nores)
