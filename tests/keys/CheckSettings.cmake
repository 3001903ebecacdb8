# The build's keys settings, case by case: each case configures (and, when that passes, builds) the small
# project beside this file, which has the keys settings and the keys unit and nothing else, and checks what
# the configure step said and whether the unit it wrote is signed only. Run at build time on the build machine
# (cmake -P), so a setting that would weaken the seal fails the build of the tests.
#
# cmake -DSOURCE=<this folder> -DWORK=<folder> -DTEST_KEY=<pub.pem> -DOFF_CURVE_KEY=<pub.pem>
#       -DPYTHON=<python3> -DOPENSSL=<openssl> -DNINJA=<ninja> -DSTAMP=<file> -P CheckSettings.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
set(failures)

function(run_openssl)
    execute_process(COMMAND ${OPENSSL} ${ARGN} RESULT_VARIABLE done OUTPUT_QUIET ERROR_QUIET)
    if(NOT done EQUAL 0)
        message(FATAL_ERROR "keys settings: openssl ${ARGN} failed")
    endif()
endfunction()

# Key files of the cases: a second key of the maker, both keys in one file, and a private key.
run_openssl(ecparam -name prime256v1 -genkey -noout -out ${WORK}/second.pem)
run_openssl(ec -in ${WORK}/second.pem -pubout -out ${WORK}/second.pub.pem)
file(READ ${TEST_KEY} first)
file(READ ${WORK}/second.pub.pem second)
file(WRITE ${WORK}/two-keys.pub.pem "${first}${second}")
file(COPY_FILE ${WORK}/second.pem ${WORK}/private.pub.pem)
file(COPY_FILE ${TEST_KEY} ${WORK}/changed.pub.pem)

# A case: its name, the unit it must write (signed-only, keyed or plain) or "refused", a text the configure
# or build step must say, then the -D arguments; a list of keys is written with <semicolon>.
set(keys "${TEST_KEY}<semicolon>${WORK}/second.pub.pem")
set(cases
    "a key, no setting|signed-only|-- Image keys: 1, signed only|-DNIMBREL_IMAGE_KEYS=${TEST_KEY}"
    "Y|signed-only||-DNIMBREL_IMAGE_KEYS=${TEST_KEY}|-DNIMBREL_SIGNED_ONLY=Y"
    "2|signed-only||-DNIMBREL_IMAGE_KEYS=${TEST_KEY}|-DNIMBREL_SIGNED_ONLY=2"
    "y, as a BOOL|signed-only||-DNIMBREL_IMAGE_KEYS=${TEST_KEY}|-DNIMBREL_SIGNED_ONLY:BOOL=y"
    "empty, two keys: no key is taken as the setting|signed-only|-- Image keys: 2, signed only|-DNIMBREL_IMAGE_KEYS=${keys}|-DNIMBREL_SIGNED_ONLY="
    "OFF: a changeover, said|keyed|NIMBREL_SIGNED_ONLY is OFF: the programs built with NIMBREL_IMAGE_KEYS will also send a folder without SHA256SUMS|-DNIMBREL_IMAGE_KEYS=${TEST_KEY}|-DNIMBREL_SIGNED_ONLY=OFF"
    "no keys|plain||-DNIMBREL_IMAGE_KEYS="
    "ON without a key|refused|NIMBREL_SIGNED_ONLY needs at least one key|-DNIMBREL_SIGNED_ONLY=ON"
    "a key off the curve|refused|test-key-off-curve.pub.pem: the key is not a point of the curve P-256|-DNIMBREL_IMAGE_KEYS=${TEST_KEY}<semicolon>${OFF_CURVE_KEY}"
    "two keys in one file|refused|two-keys.pub.pem: holds 2 PEM \"PUBLIC KEY\" blocks|-DNIMBREL_IMAGE_KEYS=${WORK}/two-keys.pub.pem"
    "a private key|refused|private.pub.pem: holds a PEM \"EC PRIVATE KEY\" block|-DNIMBREL_IMAGE_KEYS=${WORK}/private.pub.pem"
    "a key file changed after the configure step|refused-at-build|changed.pub.pem: the key is not a point of the curve P-256|-DNIMBREL_IMAGE_KEYS=${WORK}/changed.pub.pem")

set(number 0)
foreach(case IN LISTS cases)
    string(REPLACE "|" ";" fields "${case}")
    list(POP_FRONT fields name expected says)
    math(EXPR number "${number} + 1")
    set(tree ${WORK}/case-${number})
    # The keys go in through an initial cache, where a list of them stays one value.
    set(arguments)
    file(WRITE ${tree}.cmake "")
    foreach(field IN LISTS fields)
        if(field MATCHES "^-DNIMBREL_IMAGE_KEYS=(.*)$")
            string(REPLACE "<semicolon>" ";" keys "${CMAKE_MATCH_1}")
            file(APPEND ${tree}.cmake "set(NIMBREL_IMAGE_KEYS \"${keys}\" CACHE STRING \"\")\n")
        else()
            list(APPEND arguments "${field}")
        endif()
    endforeach()
    set(unit "")
    set(built 1)
    execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${tree} -G Ninja -DCMAKE_MAKE_PROGRAM=${NINJA}
                            -DNIMBREL_PYTHON=${PYTHON} -DNIMBREL_OPENSSL=${OPENSSL} -C ${tree}.cmake ${arguments}
                    RESULT_VARIABLE configured OUTPUT_VARIABLE said ERROR_VARIABLE told)
    set(said "${said}${told}")
    if(configured EQUAL 0 AND expected STREQUAL "refused-at-build")
        file(COPY_FILE ${OFF_CURVE_KEY} ${WORK}/changed.pub.pem)
    endif()
    if(configured EQUAL 0)
        execute_process(COMMAND ${CMAKE_COMMAND} --build ${tree} RESULT_VARIABLE built OUTPUT_VARIABLE out
                        ERROR_VARIABLE err)
        set(said "${said}${out}${err}")
    endif()
    if(EXISTS ${tree}/generated/keys_unit.cpp)
        file(READ ${tree}/generated/keys_unit.cpp unit)
    endif()
    string(REGEX REPLACE "[ \n]+" " " flat "${said}")
    set(wrong)
    if(expected MATCHES "^refused")
        set(stage configure)
        if(expected STREQUAL "refused-at-build")
            set(stage build)
        endif()
        if(stage STREQUAL "configure" AND configured EQUAL 0)
            set(wrong "the configure step passed")
        elseif(stage STREQUAL "build" AND (NOT configured EQUAL 0 OR built EQUAL 0))
            set(wrong "the configure step failed or the build passed")
        elseif(NOT "${unit}" STREQUAL "")
            set(wrong "a keys unit was written")
        endif()
    elseif(NOT configured EQUAL 0 OR NOT built EQUAL 0)
        set(wrong "the configure or build step failed")
    elseif(expected STREQUAL "signed-only" AND NOT unit MATCHES "KEY_POINTS\\[0\\], true}")
        set(wrong "the keys unit is not signed only")
    elseif(expected STREQUAL "keyed" AND NOT unit MATCHES "KEY_POINTS\\[0\\], false}")
        set(wrong "the keys unit is not keyed without signed only")
    elseif(expected STREQUAL "plain" AND NOT unit MATCHES "nullptr, 0, false")
        set(wrong "the keys unit is not a plain one")
    endif()
    if(NOT wrong AND NOT says STREQUAL "")
        string(FIND "${flat}" "${says}" at)
        if(at EQUAL -1)
            set(wrong "it did not say: ${says}")
        endif()
    endif()
    if(NOT wrong AND NOT expected STREQUAL "keyed")
        string(FIND "${flat}" "NIMBREL_SIGNED_ONLY is " warned)
        if(NOT warned EQUAL -1)
            set(wrong "it warned of a changeover")
        endif()
    endif()
    if(wrong)
        list(APPEND failures "${name}: ${wrong}\n${said}\n${unit}")
    endif()
endforeach()

if(failures)
    string(REPLACE ";" "\n----\n" failures "${failures}")
    message(FATAL_ERROR "keys settings:\n${failures}")
endif()
file(WRITE ${STAMP} "${number} cases of the keys settings passed\n")
