# cmake -DOUT=<file> -P make_demo_payload.cmake
# A stand-in installer payload of about 256 KiB, the same on every build.
set(block "")
foreach(seed RANGE 1 64)
    string(RANDOM LENGTH 4096 RANDOM_SEED ${seed} chunk)
    string(APPEND block "${chunk}")
endforeach()
get_filename_component(dir "${OUT}" DIRECTORY)
file(MAKE_DIRECTORY "${dir}")
file(WRITE "${OUT}.tmp" "${block}")
file(RENAME "${OUT}.tmp" "${OUT}")
