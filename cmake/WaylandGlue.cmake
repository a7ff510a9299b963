# wayland_client_glue(TARGET XML...): the client header and marshalling code wayland-scanner makes
# from each protocol description, compiled into TARGET, with wayland-client linked. The headers
# are named <xml's name>-client.h.
# Included once, by the top-level CMakeLists.txt (which enables C for the generated code).
include_guard(GLOBAL)
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET GLOBAL wayland-client)
pkg_get_variable(WAYLAND_SCANNER wayland-scanner wayland_scanner)
if(NOT WAYLAND_SCANNER)
    find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)
endif()

function(wayland_client_glue target)
    set(glue ${CMAKE_CURRENT_BINARY_DIR}/${target}-wayland)
    file(MAKE_DIRECTORY ${glue})
    foreach(xml IN LISTS ARGN)
        get_filename_component(protocol ${xml} NAME_WE)
        add_custom_command(OUTPUT ${glue}/${protocol}-client.h ${glue}/${protocol}.c
            COMMAND ${WAYLAND_SCANNER} --strict client-header ${xml} ${glue}/${protocol}-client.h
            COMMAND ${WAYLAND_SCANNER} --strict private-code ${xml} ${glue}/${protocol}.c
            DEPENDS ${xml} VERBATIM)
        target_sources(${target} PRIVATE ${glue}/${protocol}-client.h ${glue}/${protocol}.c)
    endforeach()
    target_include_directories(${target} PRIVATE ${glue})
    target_link_libraries(${target} PRIVATE PkgConfig::WAYLAND_CLIENT)
endfunction()
