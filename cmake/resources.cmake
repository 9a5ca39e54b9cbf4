# Compiles setup/setup.rc, the one source of every resource, with windres: into a COFF
# object for the Windows build, into a standard .res file for the native build. The icon and
# the payload it includes are made here first.

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
        add_custom_command(
            OUTPUT ${manifest}
            COMMAND ${KARTOL_SAMPLE_TOOL} ${KARTOL_GENERATED_DIR}/sample
            DEPENDS ${KARTOL_HOST_TOOLS}
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

if(WIN32)
    set(KARTOL_RESOURCE_OBJECT ${CMAKE_BINARY_DIR}/setup_res.o)
    set(KARTOL_RESOURCE_OUTPUT ${KARTOL_RESOURCE_OBJECT})
    set(KARTOL_RESOURCE_FORMAT coff)
else()
    set(KARTOL_RESOURCE_FILE ${CMAKE_BINARY_DIR}/setup.res)
    set(KARTOL_RESOURCE_OUTPUT ${KARTOL_RESOURCE_FILE})
    set(KARTOL_RESOURCE_FORMAT res)
endif()

# The build's own compiler preprocesses the script, so the native build needs no MinGW
# compiler. windres does not see changes of the files that the script includes: name them
# here.
add_custom_command(
    OUTPUT ${KARTOL_RESOURCE_OUTPUT}
    COMMAND ${KARTOL_WINDRES} --preprocessor=${CMAKE_CXX_COMPILER}
            --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED
            --codepage=1252 -I ${CMAKE_SOURCE_DIR}
            -I ${KARTOL_GENERATED_DIR} -O ${KARTOL_RESOURCE_FORMAT}
            -i ${CMAKE_SOURCE_DIR}/setup/setup.rc -o ${KARTOL_RESOURCE_OUTPUT}
    DEPENDS ${CMAKE_SOURCE_DIR}/setup/setup.rc ${CMAKE_SOURCE_DIR}/setup/resource_ids.h
            ${KARTOL_GENERATED_DIR}/appicon.ico ${KARTOL_PAYLOAD_FILE}
    COMMENT "Compiling the resources")
