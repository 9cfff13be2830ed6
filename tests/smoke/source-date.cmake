# The time a build takes from the Debian changelog: the trailer's date as seconds since 1970,
# against what GNU date makes of the same lines. Run with cmake -P; needs SOURCE_DIR (the
# repository) and WORK_DIR (a scratch folder).
set(PROJECT_SOURCE_DIR ${WORK_DIR}) # what the include works out for itself does not matter here
include(${SOURCE_DIR}/cmake/SourceDate.cmake)

# date -u -d "<date>" +%s for each line: leap days, the turn of a year and a century, offsets
# east and west of UTC, a day of one digit.
set(cases
    "Mon, 07 Dec 2026 12:00:00 +0000=1796644800"
    "Thu, 29 Feb 2024 23:59:59 +0900=1709218799"
    "Sat, 01 Jan 2000 00:00:00 -0130=946690200"
    "Tue, 29 Feb 2000 12:34:56 +0000=951827696"
    "Fri, 31 Dec 1999 23:59:59 +0000=946684799"
    "Wed, 1 Mar 2023 00:00:00 +0530=1677609000"
    "Thu, 01 Jan 1970 00:00:00 +0000=0")
foreach(case IN LISTS cases)
    string(REPLACE "=" ";" parts "${case}")
    list(GET parts 0 date)
    list(GET parts 1 expected)
    file(WRITE ${WORK_DIR}/changelog
         "quorvane (1.0-1) unstable; urgency=medium\n\n  * An entry.\n\n"
         " -- Somebody <somebody@example.com>  ${date}\n")
    qvn_changelog_epoch(${WORK_DIR}/changelog epoch)
    if(NOT epoch STREQUAL expected)
        message(SEND_ERROR "'${date}' gives '${epoch}', not ${expected}")
    endif()
endforeach()

# No trailer, or a date it cannot read: no time at all, so the build falls back to the commit's.
foreach(trailer "" " -- Somebody <somebody@example.com>  07 Dec 2026"
                " -- Somebody <somebody@example.com>  Mon, 07 Foo 2026 12:00:00 +0000")
    file(WRITE ${WORK_DIR}/changelog "quorvane (1.0-1) unstable; urgency=medium\n\n${trailer}\n")
    qvn_changelog_epoch(${WORK_DIR}/changelog epoch)
    if(NOT epoch STREQUAL "")
        message(SEND_ERROR "'${trailer}' gives '${epoch}', not nothing")
    endif()
endforeach()
