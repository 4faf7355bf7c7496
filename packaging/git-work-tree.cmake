# SPDX-License-Identifier: MIT
# korvalt_git_work_tree(GIT SOURCE_DIR OUT): OUT is TRUE where SOURCE_DIR is
# a git work tree of its own, not an unpacked source release that happens
# to lie inside some other repository, and FALSE otherwise (or without git).
function(korvalt_git_work_tree git source_dir out)
    set(${out} FALSE PARENT_SCOPE)
    if(NOT git)
        return()
    endif()
    execute_process(COMMAND "${git}" -C "${source_dir}" rev-parse --show-toplevel
                    OUTPUT_VARIABLE work_tree OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET RESULT_VARIABLE status)
    file(REAL_PATH "${source_dir}" source_dir)
    if(status EQUAL 0 AND work_tree STREQUAL source_dir)
        set(${out} TRUE PARENT_SCOPE)
    endif()
endfunction()
