# kartol-payload (pack, list, extract, compress, expand, verify) and make-sample-product, for
# the machine that builds. A native build compiles them with everything else; a cross build
# configures this same source tree once more for the host, with KARTOL_TOOLS_ONLY, and runs
# the tools from there. Either way KARTOL_PAYLOAD_TOOL and KARTOL_SAMPLE_TOOL name them and
# KARTOL_HOST_TOOLS is what a command that runs them depends on.

if(NOT CMAKE_CROSSCOMPILING)
    add_library(kartol_tool_files STATIC tools/file_io.cpp tools/file_io.h)
    target_include_directories(kartol_tool_files PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    add_executable(kartol-payload tools/payload_tool.cpp tools/install_check.cpp
        tools/install_check.h tools/progress_line.cpp tools/progress_line.h)
    target_link_libraries(kartol-payload PRIVATE kartol_tool_files kartol_formats kartol_host)
    add_executable(make-sample-product tools/make_sample_product.cpp tools/sample_product.cpp
        tools/sample_product.h)
    target_link_libraries(make-sample-product PRIVATE kartol_tool_files)

    set(KARTOL_PAYLOAD_TOOL $<TARGET_FILE:kartol-payload>)
    set(KARTOL_SAMPLE_TOOL $<TARGET_FILE:make-sample-product>)
    set(KARTOL_HOST_TOOLS kartol-payload make-sample-product)
else()
    include(ExternalProject)
    set(host_dir ${CMAKE_BINARY_DIR}/host-tools)
    set(KARTOL_PAYLOAD_TOOL ${host_dir}/kartol-payload)
    set(KARTOL_SAMPLE_TOOL ${host_dir}/make-sample-product)
    # Built every time so that a change of the tools' sources reaches the payload; the build
    # is incremental and the tools are relinked only when they changed.
    ExternalProject_Add(kartol_host_tools
        SOURCE_DIR ${CMAKE_SOURCE_DIR}
        BINARY_DIR ${host_dir}
        CMAKE_ARGS -DKARTOL_TOOLS_ONLY=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
        BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_dir} --target kartol-payload
                      make-sample-product
        INSTALL_COMMAND ""
        BUILD_ALWAYS ON
        BUILD_BYPRODUCTS ${KARTOL_PAYLOAD_TOOL} ${KARTOL_SAMPLE_TOOL})
    set(KARTOL_HOST_TOOLS kartol_host_tools ${KARTOL_PAYLOAD_TOOL} ${KARTOL_SAMPLE_TOOL})
endif()
