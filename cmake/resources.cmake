# Compiles each program's resource script with windres: into a COFF object for the Windows
# build, into a standard .res file for the native build. The icon and the payload that the
# setup's script includes are made here first; the payload carries the build's own product
# program and uninstaller.

set(KARTOL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${KARTOL_GENERATED_DIR})

add_custom_command(
    OUTPUT ${KARTOL_GENERATED_DIR}/appicon.ico
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/make_icon.py
            ${KARTOL_GENERATED_DIR}/appicon.ico
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon.py
    COMMENT "Generating the program icon")

include(${CMAKE_CURRENT_LIST_DIR}/payload.cmake)

# kartol_compile_resources(NAME SCRIPT [DEPENDS file...]) sets KARTOL_<NAME>_RESOURCES to the
# compiled resources of SCRIPT: the object to link on Windows, the .res file to embed
# elsewhere. The build's own compiler preprocesses the script, so the native build needs no
# MinGW compiler. windres does not see changes of the files that a script includes: they are
# named in DEPENDS.
function(kartol_compile_resources name script)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" DEPENDS)
    if(WIN32)
        set(output ${CMAKE_BINARY_DIR}/${name}_res.o)
        set(format coff)
    else()
        set(output ${CMAKE_BINARY_DIR}/${name}.res)
        set(format res)
    endif()
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${KARTOL_WINDRES} --preprocessor=${CMAKE_CXX_COMPILER}
                --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
                --codepage=1252 -I ${CMAKE_SOURCE_DIR}
                -I ${KARTOL_GENERATED_DIR} -O ${format}
                -i ${CMAKE_SOURCE_DIR}/${script} -o ${output}
        DEPENDS ${CMAKE_SOURCE_DIR}/${script} ${KARTOL_GENERATED_DIR}/appicon.ico ${arg_DEPENDS}
        COMMENT "Compiling the resources of ${name}")
    set(KARTOL_${name}_RESOURCES ${output} PARENT_SCOPE)
endfunction()

# Every program's manifest, from one template, and the version that its version information
# and manifest state.
configure_file(${CMAKE_SOURCE_DIR}/platform/program_version.h.in
    ${KARTOL_GENERATED_DIR}/program_version.h @ONLY)
set(program_resources ${CMAKE_SOURCE_DIR}/platform/program_resources.rc
    ${KARTOL_GENERATED_DIR}/program_version.h)
foreach(KARTOL_PROGRAM IN ITEMS setup uninst kartol)
    configure_file(${CMAKE_SOURCE_DIR}/platform/program.manifest.in
        ${KARTOL_GENERATED_DIR}/${KARTOL_PROGRAM}.manifest @ONLY)
    list(APPEND program_resources ${KARTOL_GENERATED_DIR}/${KARTOL_PROGRAM}.manifest)
endforeach()

kartol_compile_resources(setup setup/setup.rc
    DEPENDS ${CMAKE_SOURCE_DIR}/setup/resource_ids.h
    ${CMAKE_SOURCE_DIR}/payload/payload_resource.h ${KARTOL_PAYLOAD_FILE} ${program_resources})
kartol_compile_resources(uninst uninst/uninst.rc DEPENDS ${program_resources})
kartol_compile_resources(kartol product/product.rc
    DEPENDS ${CMAKE_SOURCE_DIR}/product/product_ids.h ${program_resources})
