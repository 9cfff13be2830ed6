#!/usr/bin/env bash
# Writes the seed inputs of the fuzz corpora (fuzz/corpus/<target>/seed-*) from examples/ and the
# edge cases of the tests. Run from anywhere; it replaces every seed-* file and leaves the other
# files of a corpus (the reproducers of past crashes) alone. Inputs are written with printf '%b',
# so "\x00" is a NUL byte and "\x00\x00" cuts an input into parts.
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=fuzz/corpus

for t in lines links page codec cli table; do
    mkdir -p "$corpus/$t"
    rm -f "$corpus/$t"/seed-*
done

# seed TARGET NAME BYTES: one input, BYTES given with printf '%b' escapes.
seed() { printf '%b' "$3" >"$corpus/$1/seed-$2"; }

# --- lines: two control bytes, then the text ---
# Byte 0: steps of 1..all (bits 0-2), a long line across the reader's block edge (bits 3-6: 13 LF,
# 14 run on, 15 CR). Byte 1: save and load again (bit 0), text bytes before the edge (bits 1-2).
line_cases=(
    'a\r\nb' 'a\r\n\r\nb' 'a\n\rb' 'a\rb' 'a\nb\n' 'a\n\nb\r\rc' '\r\r\n\n' 'a\r\nb\r\n\r\n' 'a\r\r\nb' 'ab\r' '\n'
    '\r\n\n' '' ' \t x \t' 'a\x00b\r\nc' 'a\r\n\x00b' 'ab\r\x00\nc' '\x00abc'
    '\xef\xbb\xbfhead\r\n\x83\x5c\x83\x74\x83\x67 \x83\x5f\x81\x5c\n\xff\x80'
)
controls=('\x00\x01' '\x01\x00' '\x6a\x01' '\x6b\x02' '\x74\x07' '\x7f\x00' '\x78\x03')
i=0
for c in "${line_cases[@]}"; do
    seed lines "case$i" "${controls[$((i % ${#controls[@]}))]}$c"
    i=$((i + 1))
done
for f in examples/*; do
    { printf '\x07\x01'; cat "$f"; } >"$corpus/lines/seed-$(basename "$f")"
done

# --- links: the data file ---
link_cases=(
    'a,b,c,d\n' 'a,b,c,d,e\n' ',,,\n' 'a,,c,d\n' 'a,b\n' 'a\n' '\n' 'a,b,c\n' '"x",y,z,w\n'
    ' a , b,c ,d \n' '\x83\x54\x83\x43\x83\x67,\x83,b,c\n' 'a,b,c,d\r\ne,f,g,h\r\ni,j,k,l\r\n'
    'a,b,c,d\ne,f,g,h\ni,j,k,l\n\n' '' 'site1,https://example.com/1,admin,about 1, and more\r\na,b\n\n,,,\rlast'
    'a,b\x00,c,d\ne'
)
i=0
for c in "${link_cases[@]}"; do
    seed links "case$i" "$c"
    i=$((i + 1))
done
cp examples/links-utf8.csv "$corpus/links/seed-links-utf8.csv"
cp examples/links-sjis.csv "$corpus/links/seed-links-sjis.csv"

# --- page: template, link data, then up to four tokens, cut at NUL NUL ---
for enc in utf8 sjis; do
    { cat "examples/template-$enc.html"; printf '\0\0'; cat "examples/links-$enc.csv"; } \
        >"$corpus/page/seed-example-$enc"
done
two='s1,u1,a1,d1\ns2,u2,a2,d2\n'
seed page seven 'top\n_HEAD_\nstart\n_FRAME_\n[_TITLE_](_URL_) by _AUTHOR_: _EXPLAIN_\n_FOOT_\nend\n\x00\x00'"$two"
seed page repeat '_HEAD_\nh _TITLE_\n_FRAME_\n1 _TITLE_\n2 _TITLE_\n_FOOT_\nf _TITLE_\n\x00\x00A\nB\nC\n'
seed page norecords '_HEAD_\nh1\nh2\n_FRAME_\nx\n_FOOT_\nf\n\x00\x00'
seed page firstonly '_HEAD_\n-\n_FRAME_\n_TITLE_ _TITLE_ _URL_\n_FOOT_\n-\n\x00\x00X,u,,\n<_URL_>,u,,\n'
seed page noearlier '_HEAD_\n-\n_FRAME_\n_URL_\n_FOOT_\n-\n\x00\x00t,_TITLE_,,\n'
seed page emptytitle '_HEAD_\n-\n_FRAME_\n_TITLE_|_URL_|_AUTHOR_|_EXPLAIN_\n_FOOT_\n-\n\x00\x00'"$two"'\x00\x00\x00\x00_URL_\x00\x00_AUTHOR_\x00\x00_EXPLAIN_'
seed page sametokens '_HEAD_\n-\n_FRAME_\n@ @ @ @ @\n_FOOT_\n-\n\x00\x00'"$two"'\x00\x00@\x00\x00@\x00\x00@\x00\x00@'
seed page bytewise '_HEAD_\n-\n_FRAME_\n\x83\x5fTITLE_\n_FOOT_\n-\n\x00\x00S,,,\n'
seed page utf8token '_HEAD_\n-\n_FRAME_\n「＿名前＿」\n_FOOT_\n-\n\x00\x00サイト,,,\n\x00\x00＿名前＿\x00\x00\x00\x00\x00\x00'
seed page markerfirst '_HEAD_\n_FRAME_\nh\n_FRAME_\n_FOOT_\nx\n_FOOT_\n_HEAD_\n\x00\x00'
seed page footinframe '_HEAD_\n-\n_FRAME_\n_FOOT_\n_FOOT_\nend\x00\x00a,,,\n'
broken=('' 'a\nb\n' '_HEAD_\n' '_HEAD_\n_FRAME_\n' '_HEAD_\nh\n_FRAME_\n' '_HEAD_\nh\n_FRAME_\nx\n'
    '_HEAD_\nh\n_FRAME_\nx\n_FOOT_\n' '_HEAD_ \nh\n_FRAME_\nx\n_FOOT_\ny\n'
    '_head_\nh\n_FRAME_\nx\n_FOOT_\ny\n' '_HEAD_\r\nh\r_FRAME_\n\rx\n_FOOT_\x00\ny\n')
i=0
for c in "${broken[@]}"; do
    seed page "broken$i" "$c"'\x00\x00'"$two"
    i=$((i + 1))
done

# --- codec: bytes, taken as code page 932 and as UTF-8 ---
codec_cases=(
    'ダ' '\x83\x5f' '～①＼' '\x81\x60\x87\x40\x81\x5f\x5c' 'a😀b' 'Ω한' 'x\xffy' '\xe3\x81'
    'a\xa0z' 'a\x81 z' 'a\x85\x40z' 'end\x83' '' 'abc' 'done.' '(3)' 'x ' 'x\n' 'x-' 'x/'
    '\x83\x7b' '\x81\x2e' '\x83\x20' '/tmp/サイト😀.html' 'a\x00bc' '\xed\xa0\x80' '\xf4\x90\x80\x80'
    '\xc0\xaf' '\xef\xbf\xbd' '\xa5\xdf\xfd\xfe\xff\x80\xa0'
)
i=0
for c in "${codec_cases[@]}"; do
    seed codec "case$i" "$c"
    i=$((i + 1))
done
head -c 200 examples/links-sjis.csv >"$corpus/codec/seed-links-sjis"
head -c 200 examples/links-utf8.csv >"$corpus/codec/seed-links-utf8"

# --- cli: the arguments, cut at NUL NUL; the folder holds links.csv, t.html, page.html,
# ro.html (read-only), dir/, link (to page.html) and loop (a link to itself) ---
args() { local IFS=$'\x01'; local s="$*"; printf '%s' "${s//$'\x01'/\\x00\\x00}"; }
cli_cases=(
    "$(args --data links.csv --template t.html --output -)"
    "$(args --data links.csv --template t.html --output page.html)"
    "$(args --data=links.csv --template=t.html --output=new.html --title=T --url=U)"
    "$(args --data links.csv --template t.html --output link --author --help --explain=--version)"
    "$(args --data links.csv --template t.html --output p.html --title '' --url '')"
    "$(args --data link --template t.html --output dir/p.html --explain=)"
    "$(args --title --help --data t.html --template t.html --output - --url=--version)"
    "$(args --data links.csv --template t.html --output links.csv)"
    "$(args --data links.csv --template t.html --output ro.html)"
    "$(args --data links.csv --template t.html --output .qvn-abcdefgh)"
    "$(args --data links.csv --template t.html --output loop)"
    "$(args --data links.csv --template t.html --output dir)"
    "$(args --data links.csv --template page.html --output -)"
    "$(args --data none.csv --template t.html --output -)"
    "$(args --data links.csv --template t.html)"
    "$(args --data links.csv --template t.html --output)"
    "$(args --data links.csv --data links.csv --template t.html --output -)"
    "$(args --data links.csv --template t.html --output - extra.csv)"
    "$(args -d links.csv --colour red)"
    "$(args --help)"
    "$(args --version --help)"
    "$(args --data links.csv --help)"
    "$(args)"
)
i=0
for c in "${cli_cases[@]}"; do
    seed cli "case$i" "$c"
    i=$((i + 1))
done
seed cli nul '--data\x00\x00a\x00bc\x00\x00--template\x00\x00t\x00\x00--output\x00\x00-'
seed cli nuloutput '--data\x00\x00links.csv\x00\x00--template\x00\x00t.html\x00\x00--output\x00\x00p\x00q'
seed cli sjisname '--data\x00\x00\x83\x54.csv\x00\x00--template\x00\x00t.html\x00\x00--output\x00\x00\xff.html'

du -sh "$corpus"

# --- table: the data file, whose bytes also steer the edits (three bytes an edit: insert,
# remove, move, set a field by the first byte modulo 4) ---
table_cases=(
    'a,b,c,d\r\ne,f,g,h\r\n' 'a\rb\n\r\nc,d\n\nlast' '\x03\x00\x08a,b,c,d\r\n' '\x01\x00\x00x\ry\r\n\n'
    '\x02\x01\x00\r\r\n\n\rz' 'site,url\x00tail,\r\n' '\x83\x54\x83\x43\x83\x67,u,a,d\r\n\x03\x00\x0b'
    '\xe7\x8c\xab,u,a,d\n\x03\x00\x10\n' ''
)
i=0
for c in "${table_cases[@]}"; do
    seed table "case$i" "$c"
    i=$((i + 1))
done
