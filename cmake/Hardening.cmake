# Debian's hardening flags, as dpkg-buildflags gives them to every Debian package: stack
# protector, fortified string functions, format checks, read-only relocations and immediate
# binding. The optimisation and debug flags stay the build type's own. Only for optimised builds
# without sanitizers: fortified functions need the optimiser. Not for WebAssembly, which has no
# stack protector or relocations of its own.
if(NOT VOLTARO_HARDENING OR VOLTARO_SANITIZE OR EMSCRIPTEN OR CMAKE_BUILD_TYPE STREQUAL "Debug")
    return()
endif()
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(NOT DPKG_BUILDFLAGS)
    return()
endif()

function(voltaro_dpkg_flags kind out)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
            "DEB_${kind}_MAINT_STRIP=-O2 -g" ${DPKG_BUILDFLAGS} --get ${kind}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE failed)
    if(failed)
        set(flags "")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(${out} ${flags} PARENT_SCOPE)
endfunction()

voltaro_dpkg_flags(CPPFLAGS cppflags)
voltaro_dpkg_flags(CXXFLAGS cxxflags)
voltaro_dpkg_flags(LDFLAGS ldflags)
add_compile_options(${cppflags} ${cxxflags})
add_link_options(${ldflags})
message(STATUS "Hardening flags from dpkg-buildflags: ${cppflags} ${cxxflags} ${ldflags}")
