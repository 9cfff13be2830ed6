#!/usr/bin/env bash
# Runs qvn-build's bash completion as bash-completion would, on typed command lines, and checks
# what it offers: the options not yet given, file names after the file options, nothing after a
# token option.
# Usage: qvn-build-completion.sh COMPLETION_FILE
# Needs bash-completion.
set -u
completion=$1
framework=/usr/share/bash-completion/bash_completion
[ -f "$framework" ] || { echo "qvn-build-completion: bash-completion is not installed" >&2; exit 1; }
# shellcheck source=/dev/null
. "$framework"
# shellcheck source=/dev/null
. "$completion"
[ "$(complete -p qvn-build 2>/dev/null)" = "complete -F _qvn_build qvn-build" ] || {
    echo "qvn-build-completion: $completion does not register _qvn_build for qvn-build" >&2
    exit 1
}

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir" || exit 1
mkdir sub
touch links.csv page.html

failures=0
# check LINE EXPECTED: completes LINE (the cursor at its end) and compares the sorted offers,
# space-separated, with EXPECTED. Words are split as bash splits them for completion: at blanks,
# and around "=".
check() {
    local line=$1 expected=$2 actual
    COMP_LINE=$line
    COMP_POINT=${#line}
    read -r -a COMP_WORDS <<<"${line//=/ = }"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _qvn_build qvn-build "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    actual=$(printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ')
    actual=${actual% }
    if [ "$actual" != "$expected" ]; then
        echo "qvn-build-completion: '$line' offers '$actual', expected '$expected'" >&2
        failures=$((failures + 1))
    fi
}

check "qvn-build " "--author --check --check-links --data --explain --fix-moved --format --help --jobs --output --resolve --state --template --timeout --title --url --version"
check "qvn-build --t" "--template --timeout --title"
check "qvn-build --v" "--version"
check "qvn-build --data links.csv --" "--author --check --check-links --explain --fix-moved --format --jobs --output --resolve --state --template --timeout --title --url"
# A check writes no page: --check and --output rule each other out.
check "qvn-build --check --data links.csv --" "--author --explain --template --title --url"
check "qvn-build --output out.html --c" ""
# The link check takes its own options only, --resolve again and again.
check "qvn-build --check-links --data links.csv --" "--fix-moved --format --jobs --resolve --state --timeout"
check "qvn-build --check-links --resolve a:80:127.0.0.1 --fix-moved --" "--data --format --jobs --resolve --state --timeout"
check "qvn-build --jobs 4 --c" "--check-links"
check "qvn-build --check-links --state " "links.csv page.html sub"
check "qvn-build --check-links --timeout " ""
check "qvn-build --data=links.csv --d" ""
check "qvn-build --output out.html --title T --url U --" "--author --data --explain --template"
# A value is not an option, even when it looks like one.
check "qvn-build --title --data --d" "--data"
check "qvn-build --data " "links.csv page.html sub"
check "qvn-build --template p" "page.html"
check "qvn-build --output=s" "sub"
check "qvn-build --data links.csv --output " "links.csv page.html sub"
check "qvn-build --title " ""
check "qvn-build --explain=" ""
check "qvn-build --data links.csv x" ""

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "qvn-build-completion: all offers as expected"
