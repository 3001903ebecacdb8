# The maker's public keys that the programs check SHA256SUMS.sig against, and whether they send signed
# folders only. The keys unit is the one part of the programs that differs between builds with other keys:
# the tests link copies of both programs with their own (nimbrel_image_keys with OBJECT), beside the plain
# ones, which take theirs from the library nimbrel_keys below.
set(NIMBREL_IMAGE_KEYS "" CACHE STRING
    "P-256 public key files (PEM \"PUBLIC KEY\", as openssl ec -pubout writes them) the programs accept SHA256SUMS.sig from; a CMake list")
option(NIMBREL_SIGNED_ONLY "Refuse every image folder whose SHA256SUMS is missing or not signed by one of NIMBREL_IMAGE_KEYS" OFF)
find_program(NIMBREL_PYTHON NAMES python3 REQUIRED)

# nimbrel_image_keys(TARGET STATIC|OBJECT SIGNED_ONLY KEY...): a library of the keys unit for these keys.
function(nimbrel_image_keys target type signedOnly)
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
    set(source ${CMAKE_BINARY_DIR}/generated/${target}.cpp)
    add_custom_command(OUTPUT ${source}
        COMMAND ${NIMBREL_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/image-keys.py ${source} ${signedOnly} ${keys}
        DEPENDS ${CMAKE_SOURCE_DIR}/cmake/image-keys.py ${keys}
        COMMENT "The image keys of ${target}"
        VERBATIM)
    add_library(${target} ${type} ${source})
    nimbrel_layer(${target} engine system)
endfunction()
