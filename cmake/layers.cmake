# kartol_check_layers() makes the build check the project's layering: each file of a library or
# program includes only headers of its own target and of the targets it links, directly or
# through them, and every source and header of the product belongs to a target. So
# an include that runs against the declared dependencies, or a file left out of every source
# list, fails the build instead of waiting for a reader to notice.

function(kartol_collect_targets directory out)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        kartol_collect_targets(${subdirectory} below)
        list(APPEND targets ${below})
    endforeach()
    set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(kartol_check_layers)
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    kartol_collect_targets(${PROJECT_SOURCE_DIR} targets)
    set(manifest "")
    set(all_files "")
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        if(NOT type MATCHES "^(STATIC_LIBRARY|OBJECT_LIBRARY|INTERFACE_LIBRARY|EXECUTABLE)$")
            continue()
        endif()
        get_target_property(source_dir ${target} SOURCE_DIR)
        set(files "")
        foreach(property SOURCES INTERFACE_SOURCES)
            get_target_property(sources ${target} ${property})
            foreach(source IN LISTS sources)
                if(source MATCHES "\\.(cpp|h)$" AND NOT source MATCHES "^\\$<")
                    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir}
                        OUTPUT_VARIABLE file)
                    list(APPEND files ${file})
                endif()
            endforeach()
        endforeach()
        list(REMOVE_DUPLICATES files)
        set(dependencies "")
        foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
            get_target_property(links ${target} ${property})
            foreach(link IN LISTS links)
                if(link IN_LIST targets)
                    list(APPEND dependencies ${link})
                endif()
            endforeach()
        endforeach()
        list(REMOVE_DUPLICATES dependencies)
        string(APPEND manifest "${target}\t${dependencies}\t${files}\n")
        list(APPEND all_files ${files})
    endforeach()
    set(manifest_file ${CMAKE_BINARY_DIR}/layers.txt)
    file(WRITE ${manifest_file} "${manifest}")
    set(stamp ${CMAKE_BINARY_DIR}/layers.stamp)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/check_layers.py
            ${PROJECT_SOURCE_DIR} ${manifest_file}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${PROJECT_SOURCE_DIR}/cmake/check_layers.py ${manifest_file} ${all_files}
        COMMENT "Checking that every include follows the libraries' dependencies")
    add_custom_target(kartol_layers ALL DEPENDS ${stamp})
endfunction()
