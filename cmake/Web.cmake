# The browser build (emcmake): the same sources compiled to WebAssembly with Debian's emscripten.
# Included before any target, so that every target, GoogleTest's included, gets these settings.

# The game throws to leave a procedure (End, run-time errors): C++ exceptions must work.
# JavaScript-based exceptions, because Asyncify (which lets a procedure wait for a message box)
# cannot be combined with WebAssembly exceptions.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

# The linker's JavaScript optimiser needs acorn, which Debian installs where node does not look.
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env NODE_PATH=/usr/share/nodejs)

# The header-only libraries from Debian's packages (fast_float, {fmt}, nlohmann's JSON) lie
# outside emscripten's sysroot, where find_package does not look, and their own package files
# would put all of /usr/include, glibc's headers included, on the include path. Small package
# files of our own make only their directories visible.
set(VOLTARO_WEB_INCLUDE ${CMAKE_BINARY_DIR}/host-include)
set(VOLTARO_WEB_PACKAGES ${CMAKE_BINARY_DIR}/host-packages)
foreach(library fast_float fmt nlohmann)
    if(NOT EXISTS /usr/include/${library})
        message(FATAL_ERROR "/usr/include/${library} is missing: run scripts/install-deps")
    endif()
    file(MAKE_DIRECTORY ${VOLTARO_WEB_INCLUDE})
    file(CREATE_LINK /usr/include/${library} ${VOLTARO_WEB_INCLUDE}/${library} SYMBOLIC)
endforeach()
file(WRITE ${VOLTARO_WEB_PACKAGES}/FastFloatConfig.cmake "
if(NOT TARGET FastFloat::fast_float)
    add_library(FastFloat::fast_float INTERFACE IMPORTED)
    set_target_properties(FastFloat::fast_float PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${VOLTARO_WEB_INCLUDE})
endif()
")
# In the page, {fmt} never formats by locale (no "L" in any format) and nlohmann's JSON is only
# read with exceptions off: without them the module leaves out C++'s locale facets and the
# library's throwing paths, which a type check before every access never takes anyway.
file(WRITE ${VOLTARO_WEB_PACKAGES}/fmt-config.cmake "
if(NOT TARGET fmt::fmt-header-only)
    add_library(fmt::fmt-header-only INTERFACE IMPORTED)
    set_target_properties(fmt::fmt-header-only PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${VOLTARO_WEB_INCLUDE}
        INTERFACE_COMPILE_DEFINITIONS \"FMT_HEADER_ONLY=1;FMT_STATIC_THOUSANDS_SEPARATOR=44\")
endif()
")
file(WRITE ${VOLTARO_WEB_PACKAGES}/nlohmann_jsonConfig.cmake "
if(NOT TARGET nlohmann_json::nlohmann_json)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${VOLTARO_WEB_INCLUDE}
        INTERFACE_COMPILE_DEFINITIONS JSON_NOEXCEPTION=1)
endif()
")
# find_package(nlohmann_json 3) asks for a version: Debian's package is 3.11.
file(WRITE ${VOLTARO_WEB_PACKAGES}/nlohmann_jsonConfigVersion.cmake "
set(PACKAGE_VERSION 3.11.2)
if(PACKAGE_FIND_VERSION_MAJOR EQUAL 3)
    set(PACKAGE_VERSION_COMPATIBLE TRUE)
endif()
")
set(FastFloat_DIR ${VOLTARO_WEB_PACKAGES} CACHE PATH "" FORCE)
set(nlohmann_json_DIR ${VOLTARO_WEB_PACKAGES} CACHE PATH "" FORCE)
set(fmt_DIR ${VOLTARO_WEB_PACKAGES} CACHE PATH "" FORCE)

# GoogleTest from Debian's sources (which name it GTest::gtest), built for WebAssembly without
# threads.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
