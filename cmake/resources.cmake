# Compiles each program's resource script with windres: into a COFF object for the Windows
# build, into a standard .res file for the native build. The icon and the payload that the
# setup's script includes are made here first; the payload carries the build's own product
# program and uninstaller.

set(KARTOL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${KARTOL_GENERATED_DIR})

set(KARTOL_PAYLOAD "" CACHE FILEPATH
    "SZDD payload to embed instead of the generated one")

add_custom_command(
    OUTPUT ${KARTOL_GENERATED_DIR}/appicon.ico
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tools/make_icon.py
            ${KARTOL_GENERATED_DIR}/appicon.ico
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_icon.py
    COMMENT "Generating the program icon")

# setup.rc names the payload "payload.szdd"; windres finds it in the generated folder. It is
# the given SZDD file, or the given product folder packed and compressed, or by default the
# sample product.
set(KARTOL_PAYLOAD "" CACHE FILEPATH "SZDD payload to embed instead of the generated one")
set(KARTOL_PRODUCT_MANIFEST "" CACHE FILEPATH
    "Manifest of a product folder to pack into the payload instead of the sample product")
set(KARTOL_PRODUCT_DIR "" CACHE PATH
    "Folder that holds the files of KARTOL_PRODUCT_MANIFEST (default: the manifest's folder)")

set(KARTOL_PAYLOAD_FILE ${KARTOL_GENERATED_DIR}/payload.szdd)
set(KARTOL_ARCHIVE_FILE ${KARTOL_GENERATED_DIR}/payload.archive)
if(KARTOL_PAYLOAD)
    add_custom_command(
        OUTPUT ${KARTOL_PAYLOAD_FILE}
        COMMAND ${CMAKE_COMMAND} -E copy ${KARTOL_PAYLOAD} ${KARTOL_PAYLOAD_FILE}
        DEPENDS ${KARTOL_PAYLOAD}
        COMMENT "Taking the given payload")
else()
    if(KARTOL_PRODUCT_MANIFEST)
        set(manifest ${KARTOL_PRODUCT_MANIFEST})
        set(product_dir ${KARTOL_PRODUCT_DIR})
        if(NOT product_dir)
            get_filename_component(product_dir ${manifest} DIRECTORY)
        endif()
        # The files the manifest names, so that a change of any of them packs anew.
        file(STRINGS ${manifest} names REGEX "^[^#]")
        set(product_files ${manifest})
        foreach(name IN LISTS names)
            string(REPLACE "\\" "/" name "${name}")
            list(APPEND product_files ${product_dir}/${name})
        endforeach()
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${manifest})
    else()
        set(manifest ${KARTOL_GENERATED_DIR}/sample/manifest.txt)
        set(product_dir ${KARTOL_GENERATED_DIR}/sample/files)
        set(product_files ${manifest})
        # The product carries the build's own programs. Windows links them without symbols;
        # the native ones ship stripped of their debug information.
        set(shipped)
        foreach(program IN ITEMS kartol uninst)
            if(WIN32)
                list(APPEND shipped $<TARGET_FILE:${program}>)
            else()
                set(stripped ${KARTOL_GENERATED_DIR}/shipped/${program})
                add_custom_command(
                    OUTPUT ${stripped}
                    COMMAND ${CMAKE_COMMAND} -E make_directory ${KARTOL_GENERATED_DIR}/shipped
                    COMMAND ${CMAKE_STRIP} -o ${stripped} $<TARGET_FILE:${program}>
                    DEPENDS ${program}
                    COMMENT "Stripping ${program} for the product")
                list(APPEND shipped ${stripped})
            endif()
        endforeach()
        list(GET shipped 0 shipped_product)
        list(GET shipped 1 shipped_uninstaller)
        add_custom_command(
            OUTPUT ${manifest}
            COMMAND ${KARTOL_SAMPLE_TOOL} ${KARTOL_GENERATED_DIR}/sample
                    KARTOL.EXE=${shipped_product} uninst.exe=${shipped_uninstaller}
            DEPENDS ${KARTOL_HOST_TOOLS} ${shipped} kartol uninst
            COMMENT "Generating the sample product")
    endif()
    add_custom_command(
        OUTPUT ${KARTOL_ARCHIVE_FILE}
        COMMAND ${KARTOL_PAYLOAD_TOOL} pack ${manifest} ${product_dir} ${KARTOL_ARCHIVE_FILE}
        DEPENDS ${product_files} ${KARTOL_HOST_TOOLS}
        COMMENT "Packing the payload archive")
    add_custom_command(
        OUTPUT ${KARTOL_PAYLOAD_FILE}
        COMMAND ${KARTOL_PAYLOAD_TOOL} compress ${KARTOL_ARCHIVE_FILE} ${KARTOL_PAYLOAD_FILE}
        DEPENDS ${KARTOL_ARCHIVE_FILE} ${KARTOL_HOST_TOOLS}
        COMMENT "Compressing the payload")
endif()

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

kartol_compile_resources(setup setup/setup.rc
    DEPENDS ${CMAKE_SOURCE_DIR}/setup/resource_ids.h ${KARTOL_PAYLOAD_FILE})
kartol_compile_resources(uninst uninst/uninst.rc)
kartol_compile_resources(kartol product/product.rc
    DEPENDS ${CMAKE_SOURCE_DIR}/product/product_ids.h)
