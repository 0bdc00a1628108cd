# cmake -DOUT=... -DKEY=... -DURL=... -DINSTALLER=... -DPAYLOAD=... -P make_engine_file.cmake
foreach(v OUT KEY URL INSTALLER PAYLOAD)
    if(NOT DEFINED ${v} OR "${${v}}" STREQUAL "")
        message(FATAL_ERROR "make_engine_file: ${v} is not set")
    endif()
endforeach()
if(NOT EXISTS "${PAYLOAD}")
    message(FATAL_ERROR "make_engine_file: no payload at ${PAYLOAD}")
endif()
file(SIZE "${PAYLOAD}" size)
file(MD5 "${PAYLOAD}" md5)
file(WRITE "${OUT}.tmp"
"; Download engine file: one section per game key.\n"
"[${KEY}]\n"
"url=${URL}\n"
"size=${size}\n"
"md5=${md5}\n"
"file=${INSTALLER}\n")
file(RENAME "${OUT}.tmp" "${OUT}")
