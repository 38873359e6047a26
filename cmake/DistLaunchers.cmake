# quorvel_configure_launcher(<template> <output> <bindir> <desktop|systemd>)
#
# Writes a file that starts the installed programs (desktop entry, systemd
# unit) from its template. @QUORVEL_EXEC_QUORVEL@, @QUORVEL_EXEC_QUORVEL_CLI@
# and @QUORVEL_EXEC_QUORVEL_SERVICE@ become the programs' paths in bindir,
# written as one word of that format even when the prefix holds spaces,
# quotes, dollars or percent signs. Used at configure time for the build
# folder's copy and at install time (install(CODE)) with the real prefix.
function(quorvel_configure_launcher template output bindir format)
    foreach(name quorvel quorvel-cli quorvel-service)
        set(path "${bindir}/${name}")
        if(format STREQUAL "desktop")
            # Reserved characters need the whole word in double quotes, with
            # " ` $ \ escaped by a backslash inside; then the file's own string
            # escape doubles every backslash. A literal % is written %%.
            if(path MATCHES "[ \t\n\"'\\\\<>~|&;$*?#()`]")
                string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" path "${path}")
                string(REPLACE "\\" "\\\\" path "${path}")
                set(path "\"${path}\"")
            endif()
            string(REPLACE "%" "%%" path "${path}")
        else()
            # systemd expands % specifiers and $ variables; quotes group a word.
            string(REPLACE "%" "%%" path "${path}")
            string(REPLACE "$" "$$" path "${path}")
            if(path MATCHES "[ \t\"'\\\\]")
                string(REPLACE "\\" "\\\\" path "${path}")
                string(REPLACE "\"" "\\\"" path "${path}")
                set(path "\"${path}\"")
            endif()
        endif()
        string(MAKE_C_IDENTIFIER "${name}" id)
        string(TOUPPER "${id}" id)
        set(QUORVEL_EXEC_${id} "${path}")
    endforeach()
    configure_file("${template}" "${output}" @ONLY)
endfunction()
