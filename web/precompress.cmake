# Writes FILE.gz (gzip -9) and, where brotli is installed, FILE.br beside every file of SITE that
# compression makes smaller, so that a server sends them as they are to a browser that accepts
# them. Images and WOFF2 fonts are compressed already and are left alone. Each copy keeps its
# file's time: a server sends no copy older than its file.
#   cmake -DSITE=... -DGZIP=... [-DBROTLI=...] -P precompress.cmake
file(GLOB_RECURSE files LIST_DIRECTORIES false ${SITE}/*)
list(FILTER files EXCLUDE REGEX "\\.(gz|br|png|woff2)$")
foreach(file IN LISTS files)
    execute_process(COMMAND ${GZIP} -9 -n -k -f ${file} RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "gzip failed on ${file}")
    endif()
    set(copies ${file}.gz)
    if(BROTLI)
        execute_process(COMMAND ${BROTLI} -q 11 -k -f ${file} RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "brotli failed on ${file}")
        endif()
        list(APPEND copies ${file}.br)
    endif()
    file(SIZE ${file} size)
    foreach(copy IN LISTS copies)
        file(SIZE ${copy} copy_size)
        if(NOT copy_size LESS size)
            file(REMOVE ${copy})
        endif()
    endforeach()
endforeach()
