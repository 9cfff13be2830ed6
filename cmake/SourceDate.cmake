# The time every generated file and the package take as theirs, so that two builds of the same
# sources give the same bytes wherever and whenever they are made: SOURCE_DATE_EPOCH as given in
# the environment, or else the date of the newest entry of the Debian changelog, or else the time
# of the last commit. Qt's resource compiler and CPack read it from the environment; the build
# gives it to every generated file's command, and the package configuration to cpack.

# Seconds since 1970 of a changelog trailer's date, "Mon, 07 Dec 2026 12:00:00 +0000".
function(qvn_changelog_epoch changelog out)
    set(${out} "" PARENT_SCOPE)
    if(NOT EXISTS ${changelog})
        return()
    endif()
    file(STRINGS ${changelog} trailer REGEX "^ -- .*>  " LIMIT_COUNT 1)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    if(NOT trailer MATCHES
       " ([0-9]+) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ([0-9]+):([0-9]+):([0-9]+) ([+-])([0-9][0-9])([0-9][0-9])$")
        return()
    endif()
    set(d ${CMAKE_MATCH_1})
    list(FIND months ${CMAKE_MATCH_2} m)
    set(y ${CMAKE_MATCH_3})
    if(m LESS 0)
        return()
    endif()
    # Days since 1970-01-01 of a proleptic Gregorian date, counted from March so that the leap
    # day comes last in its year.
    math(EXPR m "${m} + 1")
    if(m LESS_EQUAL 2)
        math(EXPR y "${y} - 1")
        math(EXPR mp "${m} + 9")
    else()
        math(EXPR mp "${m} - 3")
    endif()
    math(EXPR era "${y} / 400")
    math(EXPR yoe "${y} - ${era} * 400")
    math(EXPR doy "(153 * ${mp} + 2) / 5 + ${d} - 1")
    math(EXPR doe "${yoe} * 365 + ${yoe} / 4 - ${yoe} / 100 + ${doy}")
    math(EXPR days "${era} * 146097 + ${doe} - 719468")
    math(EXPR offset "${CMAKE_MATCH_7}(${CMAKE_MATCH_8} * 3600 + ${CMAKE_MATCH_9} * 60)")
    math(EXPR epoch "${days} * 86400 + ${CMAKE_MATCH_4} * 3600 + ${CMAKE_MATCH_5} * 60 + ${CMAKE_MATCH_6} - (${offset})")
    set(${out} ${epoch} PARENT_SCOPE)
endfunction()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(QVN_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
    qvn_changelog_epoch(${PROJECT_SOURCE_DIR}/packaging/changelog QVN_SOURCE_DATE_EPOCH)
    # A new changelog entry brings a new time at the next build.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                 ${PROJECT_SOURCE_DIR}/packaging/changelog)
    if(NOT QVN_SOURCE_DATE_EPOCH)
        find_package(Git QUIET)
        if(Git_FOUND)
            execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                            OUTPUT_VARIABLE QVN_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                            ERROR_QUIET)
        endif()
    endif()
endif()

if(QVN_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    set_property(GLOBAL PROPERTY RULE_LAUNCH_CUSTOM
                 "${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${QVN_SOURCE_DATE_EPOCH}")
else()
    set(QVN_SOURCE_DATE_EPOCH "")
endif()
