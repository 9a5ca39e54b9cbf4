# The payload that setup.rc embeds as "payload.szdd", made in KARTOL_GENERATED_DIR with the
# tools that KARTOL_PAYLOAD_TOOL and KARTOL_SAMPLE_TOOL name (cmake/host_tools.cmake): the
# given SZDD file once the payload tool has verified it, or the given product folder packed
# and compressed, or by default the sample product. Sets KARTOL_PAYLOAD_FILE.
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
        COMMAND ${KARTOL_PAYLOAD_TOOL} verify ${KARTOL_PAYLOAD}
        COMMAND ${CMAKE_COMMAND} -E copy ${KARTOL_PAYLOAD} ${KARTOL_PAYLOAD_FILE}
        DEPENDS ${KARTOL_PAYLOAD} ${KARTOL_HOST_TOOLS}
        COMMENT "Taking the given payload")
else()
    if(KARTOL_PRODUCT_MANIFEST)
        set(manifest ${KARTOL_PRODUCT_MANIFEST})
        set(product_dir ${KARTOL_PRODUCT_DIR})
        if(NOT product_dir)
            get_filename_component(product_dir ${manifest} DIRECTORY)
        endif()
    else()
        set(manifest ${KARTOL_GENERATED_DIR}/sample/manifest.txt)
        set(product_dir ${KARTOL_GENERATED_DIR}/sample/files)
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
    # The tool reads the manifest itself, so that names reach the archive byte for byte, and
    # refuses a product that the setup cannot install; the files it read are its depfile.
    add_custom_command(
        OUTPUT ${KARTOL_ARCHIVE_FILE}
        COMMAND ${KARTOL_PAYLOAD_TOOL} pack ${manifest} ${product_dir} ${KARTOL_ARCHIVE_FILE}
                ${KARTOL_ARCHIVE_FILE}.d
        DEPENDS ${manifest} ${KARTOL_HOST_TOOLS}
        DEPFILE ${KARTOL_ARCHIVE_FILE}.d
        COMMENT "Packing the payload archive")
    add_custom_command(
        OUTPUT ${KARTOL_PAYLOAD_FILE}
        COMMAND ${KARTOL_PAYLOAD_TOOL} compress ${KARTOL_ARCHIVE_FILE} ${KARTOL_PAYLOAD_FILE}
        DEPENDS ${KARTOL_ARCHIVE_FILE} ${KARTOL_HOST_TOOLS}
        COMMENT "Compressing the payload")
endif()

