# Authenticode signing of the Windows programs, off unless the vendor names a key: a PKCS#12
# file and its password, or a key in a PKCS#11 module (a hardware token or a signing service)
# and its certificate chain. kartol_sign(TARGET) signs the program in place right after its
# link, so that every command that uses the program's file, the payload's among them, sees
# it signed, and the signed programs stay where the unsigned ones would be. docs/signing.md
# tells how to sign.
#
# The same file is the build step: `cmake -P signing.cmake` with the settings below as -D
# values signs FILE through a temporary file, so that the program is signed or as the linker
# left it, never half-written; a failed step fails the link, which the next build runs
# again. The signing time is SOURCE_DATE_EPOCH, else the time of the sources' last commit:
# without a time-stamp server, two builds with the same key give the same bytes.
if(CMAKE_SCRIPT_MODE_FILE)
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
        set(time $ENV{SOURCE_DATE_EPOCH})
        set(why "SOURCE_DATE_EPOCH is not a count of seconds since 1970: '${time}'")
    else()
        execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct
            OUTPUT_VARIABLE time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
        set(why "no git commit in ${SOURCE_DIR}; set SOURCE_DATE_EPOCH (seconds since 1970)")
    endif()
    if(NOT time MATCHES "^[0-9]+$")
        message(FATAL_ERROR "Signing ${FILE}: no signing time: ${why}")
    endif()
    # The key's name goes in quoted: a PKCS#11 URI separates its attributes with ';'.
    if(PKCS12)
        set(options -pkcs12)
        set(key ${PKCS12})
    else()
        set(options -pkcs11module ${PKCS11_MODULE} -certs ${CERT} -key)
        set(key "${PKCS11_KEY}")
    endif()
    set(more_options)
    if(PASSWORD_FILE)
        list(APPEND more_options -readpass ${PASSWORD_FILE})
    endif()
    if(TIMESTAMP_URL)
        list(APPEND more_options -ts ${TIMESTAMP_URL})
    endif()
    execute_process(
        COMMAND ${TOOL} sign ${options} "${key}" ${more_options} -h sha256 -time ${time}
                -in ${FILE} -out ${FILE}.signed
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        file(REMOVE ${FILE}.signed)
        # As the tool wrote it: an error message would rewrap its lines.
        message(NOTICE "${output}")
        message(FATAL_ERROR "Signing ${FILE} failed")
    endif()
    file(RENAME ${FILE}.signed ${FILE})
    return()
endif()

set(KARTOL_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file with the code-signing key and its certificate chain (signs the programs)")
set(KARTOL_SIGN_PKCS11_MODULE "" CACHE FILEPATH
    "PKCS#11 module of the token or signing service that holds the code-signing key")
set(KARTOL_SIGN_PKCS11_KEY "" CACHE STRING "The key in KARTOL_SIGN_PKCS11_MODULE: id or URI")
set(KARTOL_SIGN_CERT "" CACHE FILEPATH
    "PEM certificate chain of KARTOL_SIGN_PKCS11_KEY, the signing certificate first")
set(KARTOL_SIGN_PASSWORD_FILE "" CACHE FILEPATH
    "File holding the password of KARTOL_SIGN_PKCS12 or the PIN of the PKCS#11 key")
set(KARTOL_SIGN_TIMESTAMP_URL "" CACHE STRING
    "RFC 3161 time-stamp server that counter-signs each signature (needs the network)")

# What each kind of key needs and what contradicts it; without a key nothing may be set.
if(KARTOL_SIGN_PKCS12 AND KARTOL_SIGN_PKCS11_MODULE)
    message(FATAL_ERROR "KARTOL_SIGN_PKCS12 and KARTOL_SIGN_PKCS11_MODULE name two keys; "
        "set one of them")
elseif(KARTOL_SIGN_PKCS12)
    set(key KARTOL_SIGN_PKCS12)
    set(needed KARTOL_SIGN_PASSWORD_FILE)
    set(refused KARTOL_SIGN_PKCS11_KEY KARTOL_SIGN_CERT)
    set(refusal "the PKCS#12 file KARTOL_SIGN_PKCS12 holds the key and its certificates")
elseif(KARTOL_SIGN_PKCS11_MODULE)
    set(key KARTOL_SIGN_PKCS11_MODULE)
    set(needed KARTOL_SIGN_PKCS11_KEY KARTOL_SIGN_CERT)
    set(refused)
else()
    set(needed)
    set(refused KARTOL_SIGN_PKCS11_KEY KARTOL_SIGN_CERT KARTOL_SIGN_PASSWORD_FILE
        KARTOL_SIGN_TIMESTAMP_URL)
    set(refusal "no key is named: set KARTOL_SIGN_PKCS12 or KARTOL_SIGN_PKCS11_MODULE")
endif()
foreach(setting IN LISTS needed)
    if("${${setting}}" STREQUAL "")
        message(FATAL_ERROR "${key} needs ${setting} as well")
    endif()
endforeach()
foreach(setting IN LISTS refused)
    if(NOT "${${setting}}" STREQUAL "")
        message(FATAL_ERROR "${setting} is set, but ${refusal}")
    endif()
endforeach()
foreach(setting IN ITEMS KARTOL_SIGN_PKCS12 KARTOL_SIGN_PKCS11_MODULE KARTOL_SIGN_CERT
        KARTOL_SIGN_PASSWORD_FILE)
    if(NOT "${${setting}}" STREQUAL "" AND NOT EXISTS "${${setting}}")
        message(FATAL_ERROR "${setting}: no such file: ${${setting}}")
    endif()
endforeach()

set(KARTOL_SIGNING OFF)
if(KARTOL_SIGN_PKCS12 OR KARTOL_SIGN_PKCS11_MODULE)
    if(NOT WIN32)
        message(FATAL_ERROR "${key}: only the Windows build's programs are signed "
            "(preset win32); this build makes native ones")
    endif()
    find_program(KARTOL_OSSLSIGNCODE osslsigncode REQUIRED)
    set(KARTOL_SIGNING ON)
endif()

function(kartol_sign target)
    if(NOT KARTOL_SIGNING)
        return()
    endif()
    # A new key file at the same path signs again.
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KARTOL_SIGN_PKCS12}
        ${KARTOL_SIGN_CERT} ${KARTOL_SIGN_PASSWORD_FILE})
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -DFILE=$<TARGET_FILE:${target}> -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
                -DTOOL=${KARTOL_OSSLSIGNCODE} -DPKCS12=${KARTOL_SIGN_PKCS12}
                -DPKCS11_MODULE=${KARTOL_SIGN_PKCS11_MODULE} "-DPKCS11_KEY=${KARTOL_SIGN_PKCS11_KEY}"
                -DCERT=${KARTOL_SIGN_CERT} -DPASSWORD_FILE=${KARTOL_SIGN_PASSWORD_FILE}
                -DTIMESTAMP_URL=${KARTOL_SIGN_TIMESTAMP_URL} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
        VERBATIM)
endfunction()
