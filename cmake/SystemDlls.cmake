# System DLLs from the system folder only. Windows resolves a program's static imports before its first line
# runs, and for a DLL that is not one of the KnownDLLs it looks in the program's folder first: a winmm.dll
# planted beside the program (a download folder) would run its code inside it. So the system DLLs that are not
# KnownDLLs are delay-loaded: the first call of one of their functions loads the DLL, through the hook in
# system/SystemDllLoading.cpp, from the system folder alone. The KnownDLLs (kernel32, user32, gdi32, advapi32,
# ole32, shell32, msvcrt) always come from the system and stay ordinary imports.
#
# nimbrel_delay_loaded(LIBRARY DLL_NAME): an imported target nimbrel_delayed_<LIBRARY> to link in place of
# LIBRARY (the toolchain's import library of DLL_NAME).
function(nimbrel_delay_loaded library dllName)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${library}.a
                    OUTPUT_VARIABLE importLibrary OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(output ${CMAKE_BINARY_DIR}/delay-load/lib${library}-delayed.a)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/delay-load)
    execute_process(COMMAND ${NIMBREL_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/delay-import-lib.py ${CMAKE_NM}
                            ${CMAKE_DLLTOOL} ${importLibrary} ${dllName} ${output}
                    COMMAND_ERROR_IS_FATAL ANY)
    add_library(nimbrel_delayed_${library} STATIC IMPORTED GLOBAL)
    set_target_properties(nimbrel_delayed_${library} PROPERTIES IMPORTED_LOCATION ${output})
endfunction()

# Calls to these DLLs go through their stubs, not straight through their import pointers (the headers declare
# comctl32's and winmm's functions dllimport): the 32-bit linker drops the stub of an import that nothing calls by
# name, and a delay-loaded import's pointer starts at its stub, so it would start at 0 and the first call jump there.
add_compile_definitions(WINCOMMCTRLAPI= _WINMM_)

find_program(NIMBREL_PYTHON NAMES python3 REQUIRED)
foreach(pair version:VERSION.dll winmm:WINMM.dll bcrypt:bcrypt.dll comctl32:COMCTL32.dll)
    string(REPLACE ":" ";" pair ${pair})
    nimbrel_delay_loaded(${pair})
endforeach()
