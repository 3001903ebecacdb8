# The maker's public keys that the programs check SHA256SUMS.sig against, and whether they send signed
# folders only. The keys unit is the one part of the programs that differs between builds with other keys:
# the tests link copies of both programs with their own (nimbrel_image_keys with OBJECT), beside the plain
# ones, which take theirs from the library nimbrel_keys below.
set(NIMBREL_IMAGE_KEYS "" CACHE STRING
    "P-256 public key files (PEM \"PUBLIC KEY\", as openssl ec -pubout writes them) the programs accept SHA256SUMS.sig from; a CMake list")
# A string, not an option: left empty it follows the keys, so that a build with keys is signed only unless the
# maker says otherwise, also when the tree was configured without keys before.
set(NIMBREL_SIGNED_ONLY "" CACHE STRING
    "Refuse every image folder whose SHA256SUMS is missing or not signed by one of NIMBREL_IMAGE_KEYS (empty: ON when NIMBREL_IMAGE_KEYS names a key; OFF: for a changeover, unsigned folders are sent too)")
find_program(NIMBREL_PYTHON NAMES python3 REQUIRED)
# Checks every key file's point at build time; needed only when a key is built in (Debian package openssl).
find_program(NIMBREL_OPENSSL NAMES openssl)

# nimbrel_signed_only_flag(OUT SETTING KEY...): 1 or 0, the one reading of a NIMBREL_SIGNED_ONLY setting for
# these keys: empty follows the keys; anything else is true or false by CMake's own rules (Y and 2 are true).
function(nimbrel_signed_only_flag out setting)
    if("${setting}" STREQUAL "")
        set(flag 0)
        if(ARGN)
            set(flag 1)
        endif()
    elseif(setting)
        set(flag 1)
    else()
        set(flag 0)
    endif()
    set(${out} ${flag} PARENT_SCOPE)
endfunction()

# The build's own setting, read once; OFF with keys is allowed, but said.
nimbrel_signed_only_flag(NIMBREL_SIGNED_ONLY_FLAG "${NIMBREL_SIGNED_ONLY}" ${NIMBREL_IMAGE_KEYS})
set(keyCount 0)
foreach(key ${NIMBREL_IMAGE_KEYS})
    math(EXPR keyCount "${keyCount} + 1")
endforeach()
if(keyCount EQUAL 0)
    message(STATUS "Image keys: none (the programs check no signature)")
elseif(NIMBREL_SIGNED_ONLY_FLAG)
    message(STATUS "Image keys: ${keyCount}, signed only")
else()
    message(STATUS "Image keys: ${keyCount}, not signed only")
endif()
if(keyCount GREATER 0 AND NOT NIMBREL_SIGNED_ONLY_FLAG)
    message(WARNING "NIMBREL_SIGNED_ONLY is ${NIMBREL_SIGNED_ONLY}: the programs built with NIMBREL_IMAGE_KEYS "
                    "will also send a folder without SHA256SUMS, or whose SHA256SUMS has no SHA256SUMS.sig, and "
                    "whoever can change its images can change or remove such a list too. Keep this for a "
                    "changeover only; unset NIMBREL_SIGNED_ONLY (or set it ON) for a release.")
endif()

# nimbrel_image_keys_source(TARGET SIGNED_ONLY(0|1) KEY...): the keys unit for these keys, written at build
# time into the file that ${TARGET}_SOURCE names. Every key file is checked now and again when it is built.
function(nimbrel_image_keys_source target signedOnly)
    if(NOT signedOnly MATCHES "^[01]$")
        message(FATAL_ERROR "${target}: the signed-only flag must be 0 or 1, not \"${signedOnly}\"")
    endif()
    if(signedOnly AND NOT ARGN)
        message(FATAL_ERROR "${target}: NIMBREL_SIGNED_ONLY needs at least one key in NIMBREL_IMAGE_KEYS")
    endif()
    set(keys)
    foreach(key ${ARGN})
        get_filename_component(key ${key} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
        if(NOT EXISTS ${key})
            message(FATAL_ERROR "${target}: the key file ${key} does not exist")
        endif()
        list(APPEND keys ${key})
    endforeach()
    set(script ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/image-keys.py)
    set(openssl)
    if(keys)
        if(NOT NIMBREL_OPENSSL)
            message(FATAL_ERROR "${target}: openssl is needed to check the key files (Debian package openssl)")
        endif()
        set(openssl --openssl ${NIMBREL_OPENSSL})
        execute_process(COMMAND ${NIMBREL_PYTHON} ${script} ${openssl} --check ${keys}
                        RESULT_VARIABLE checked ERROR_VARIABLE why OUTPUT_QUIET)
        if(NOT checked EQUAL 0)
            message(FATAL_ERROR "${target}: ${why}")
        endif()
    endif()
    set(source ${CMAKE_BINARY_DIR}/generated/${target}.cpp)
    add_custom_command(OUTPUT ${source}
        COMMAND ${NIMBREL_PYTHON} ${script} ${openssl} --signed-only ${signedOnly} --output ${source} ${keys}
        DEPENDS ${script} ${keys}
        COMMENT "The image keys of ${target}"
        VERBATIM)
    set(${target}_SOURCE ${source} PARENT_SCOPE)
endfunction()

# nimbrel_image_keys(TARGET STATIC|OBJECT SIGNED_ONLY(0|1) KEY...): a library of the keys unit for these keys.
function(nimbrel_image_keys target type signedOnly)
    nimbrel_image_keys_source(${target} ${signedOnly} ${ARGN})
    add_library(${target} ${type} ${${target}_SOURCE})
    nimbrel_layer(${target} engine system)
endfunction()
