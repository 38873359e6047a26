# quorvel_soname(<library file> <variable>): the run-time name (SONAME) of a
# shared library, for the libraries the program opens itself on first use
# rather than linking them (src/codec/LazyLibrary.h).
function(quorvel_soname library out)
    get_filename_component(real "${library}" REALPATH)
    execute_process(COMMAND ${CMAKE_OBJDUMP} -p "${real}"
                    OUTPUT_VARIABLE dump RESULT_VARIABLE status ERROR_QUIET)
    if(NOT status EQUAL 0 OR NOT dump MATCHES "SONAME +([^\n ]+)")
        message(FATAL_ERROR "cannot read the SONAME of ${library}")
    endif()
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
