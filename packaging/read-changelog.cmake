# SPDX-License-Identifier: MIT
# Read a Debian changelog: the top entry's version, its date as seconds since
# the epoch (for SOURCE_DATE_EPOCH where there is no git) and as YYYY-MM-DD
# (the manual's date); and every entry, rewritten as RPM writes a changelog.

function(korvalt_changelog_version changelog out)
    file(STRINGS "${changelog}" first_line LIMIT_COUNT 1)
    if(NOT first_line MATCHES "^[a-z0-9][a-z0-9.+-]* \\(([^) ]+)\\) ")
        message(FATAL_ERROR "${changelog}: no version in the first line: ${first_line}")
    endif()
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

# The number, 1 to 12, of a month's English abbreviation.
function(korvalt_month_number name out)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND months "${name}" month)
    if(month LESS 0)
        message(FATAL_ERROR "no such month: ${name}")
    endif()
    math(EXPR month "${month} + 1")
    set(${out} ${month} PARENT_SCOPE)
endfunction()

# DATE is as Debian writes it, "Fri, 11 Dec 2026 13:30:00 +0000".
function(korvalt_date_to_epoch date out)
    set(pattern "^[A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) "
                "([0-9][0-9]):([0-9][0-9]):([0-9][0-9]) ([+-])([0-9][0-9])([0-9][0-9])$")
    string(CONCAT pattern ${pattern})
    if(NOT date MATCHES "${pattern}")
        message(FATAL_ERROR "not a date as Debian's changelogs write it: ${date}")
    endif()
    set(day ${CMAKE_MATCH_1})
    set(year ${CMAKE_MATCH_3})
    set(clock ${CMAKE_MATCH_4} ${CMAKE_MATCH_5} ${CMAKE_MATCH_6})
    set(offset_sign ${CMAKE_MATCH_7})
    set(offset ${CMAKE_MATCH_8} ${CMAKE_MATCH_9})
    korvalt_month_number(${CMAKE_MATCH_2} month)
    # Days since 1970-01-01 of the proleptic Gregorian calendar, counted in
    # years that start on 1 March, so that a leap day ends its year.
    if(month LESS_EQUAL 2)
        math(EXPR year "${year} - 1")
        math(EXPR month "${month} + 9")
    else()
        math(EXPR month "${month} - 3")
    endif()
    math(EXPR era "${year} / 400")
    math(EXPR year_of_era "${year} - ${era} * 400")
    math(EXPR day_of_year "(153 * ${month} + 2) / 5 + ${day} - 1")
    math(EXPR days "${era} * 146097 + ${year_of_era} * 365 + ${year_of_era} / 4 - ${year_of_era} / 100 + ${day_of_year} - 719468")
    list(GET clock 0 hours)
    list(GET clock 1 minutes)
    list(GET clock 2 seconds)
    list(GET offset 0 offset_hours)
    list(GET offset 1 offset_minutes)
    math(EXPR epoch "((${days} * 24 + ${hours}) * 60 + ${minutes}) * 60 + ${seconds} ${offset_sign} -((${offset_hours} * 60 + ${offset_minutes}) * 60)")
    set(${out} ${epoch} PARENT_SCOPE)
endfunction()

# The top entry's date, as its trailer writes it.
function(korvalt_changelog_date changelog out)
    file(STRINGS "${changelog}" trailers REGEX "^ -- ")
    list(GET trailers 0 trailer)
    if(NOT trailer MATCHES "^ -- .*>  (.*)$")
        message(FATAL_ERROR "${changelog}: no date in the top entry's trailer: ${trailer}")
    endif()
    set(${out} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()

function(korvalt_changelog_epoch changelog out)
    korvalt_changelog_date("${changelog}" date)
    korvalt_date_to_epoch("${date}" epoch)
    set(${out} ${epoch} PARENT_SCOPE)
endfunction()

# The top entry's day as YYYY-MM-DD: the day its trailer names, in the
# trailer's own time zone.
function(korvalt_changelog_day changelog out)
    korvalt_changelog_date("${changelog}" date)
    korvalt_date_to_epoch("${date}" epoch) # rejects a malformed date
    string(REGEX MATCH "^..., ([0-9]+) (...) ([0-9]+) " date "${date}")
    korvalt_month_number(${CMAKE_MATCH_2} month)
    set(day ${CMAKE_MATCH_1})
    foreach(number IN ITEMS month day)
        if(${number} LESS 10)
            set(${number} 0${${number}})
        endif()
    endforeach()
    set(${out} "${CMAKE_MATCH_3}-${month}-${day}" PARENT_SCOPE)
endfunction()

# Writes to OUTPUT every entry of CHANGELOG as RPM's %changelog section
# gives it, newest first: a heading "* Fri Dec 11 2026 Name <address> -
# VERSION-RELEASE", then the entry's text, its "  * " items as "- " items.
function(korvalt_rpm_changelog changelog release output)
    file(READ "${changelog}" text)
    set(rpm_text "")
    set(body "")
    # Line by line, not as a CMake list, which would split at ";" and join
    # at "[".
    while(NOT text STREQUAL "")
        string(FIND "${text}" "\n" end)
        if(end LESS 0)
            string(LENGTH "${text}" end)
        endif()
        string(SUBSTRING "${text}" 0 ${end} line)
        math(EXPR end "${end} + 1")
        string(SUBSTRING "${text}" ${end} -1 text)
        if(line MATCHES "^[a-z0-9][a-z0-9.+-]* \\(([^) ]+)\\) ")
            set(version "${CMAKE_MATCH_1}")
        elseif(line MATCHES "^ -- (.*>)  (...), ([0-9]+) (...) ([0-9]+) ")
            if(NOT DEFINED version)
                message(FATAL_ERROR "${changelog}: a trailer before any heading: ${line}")
            endif()
            set(day ${CMAKE_MATCH_3})
            if(day LESS 10)
                set(day 0${day})
            endif()
            string(APPEND rpm_text "* ${CMAKE_MATCH_2} ${CMAKE_MATCH_4} ${day} ${CMAKE_MATCH_5} "
                                   "${CMAKE_MATCH_1} - ${version}-${release}\n${body}\n")
            set(body "")
            unset(version)
        elseif(line MATCHES "^  \\* (.*)$")
            string(APPEND body "- ${CMAKE_MATCH_1}\n")
        elseif(line MATCHES "^    (.*)$")
            string(APPEND body "  ${CMAKE_MATCH_1}\n")
        elseif(NOT line STREQUAL "")
            message(FATAL_ERROR "${changelog}: a line that is neither heading, item nor trailer: ${line}")
        endif()
    endwhile()
    string(STRIP "${rpm_text}" rpm_text)
    file(WRITE "${output}" "${rpm_text}\n")
endfunction()
