#!/usr/bin/env bash
# Reads the shipped icon files with ImageMagick (a reader that shares no code
# with tools/make_icons) and checks what it sees:
#   * system/icons/empty.dll and full.dll: five images, 128, 96, 64, 48, 32 px
#     square, in that order, each 8 bits per channel with an alpha channel
#     (srgba), and 32 bits per pixel in the icon directory (icotool);
#   * resources/purrbox.ico: one 32x32 image, same depth, grey only;
#   * the cats are cut out: transparent at the top corners and between the
#     ears, opaque along the bottom edge;
#   * empty.dll has the wide-open red mouth and full.dll does not.
# Then writes PNG previews of the 32 and 128 px cats (and 2x enlargements of
# the 32 px ones) into the output folder for a person to look at.
#
# Usage: icon_files_reader_test.sh REPO_ROOT OUT_DIR

set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 REPO_ROOT OUT_DIR" >&2
    exit 2
fi
root=$1
out=$2
for tool in identify convert icotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "FAIL: $tool not found (Debian packages imagemagick, icoutils)" >&2
        exit 2
    fi
done
mkdir -p "$out" || exit 2

passed=0
failed=0
ok() { echo "ok   $*"; passed=$((passed + 1)); }
bad() { echo "FAIL $*"; failed=$((failed + 1)); }

# expect NAME ACTUAL EXPECTED
expect() {
    if [ "$2" == "$3" ]; then ok "$1: $2"; else bad "$1: got '$2', want '$3'"; fi
}

# fx_true LABEL FILE[INDEX] FX-EXPRESSION: passes when the expression is 1.
fx_true() {
    local got
    got=$(convert "$2" -format "%[fx:($3)?1:0]" info: 2>&1)
    if [ "$got" == "1" ]; then ok "$1"; else bad "$1 ($3 -> $got)"; fi
}

# describe FILE: one line per image: "WxH depth alpha channels type".
# Anything identify complains about goes to $errors.
describe() {
    identify -format '%wx%h %z-bit alpha=%A %[channels] %[type]\n' "ico:$1" 2>"$errors"
}
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT

# check_layout FILE SIZES TYPE: the images identify finds, in order.
check_layout() {
    local rel=$1 sizes=$2 type=$3
    local path="$root/$rel" lines rc line i=0 n
    if [ ! -f "$path" ]; then bad "$rel: missing"; return; fi
    lines=$(describe "$path")
    rc=$?
    echo "identify $rel:"
    while IFS= read -r line; do echo "    $line"; done <<<"$lines"
    if [ $rc -ne 0 ] || [ -s "$errors" ]; then
        bad "$rel: identify exit $rc: $(tr '\n' ' ' <"$errors")"
    fi
    expect "$rel image count" "$(grep -c . <<<"$lines")" "$(wc -w <<<"$sizes")"
    for n in $sizes; do
        i=$((i + 1))
        line=$(sed -n "${i}p" <<<"$lines")
        expect "$rel image $i" "$line" "${n}x${n} 8-bit alpha=True srgba $type"
    done
    # ImageMagick turns the AND mask of a 24-bit icon into alpha as well and
    # reports it as srgba too, so the bit count comes from icoutils.
    local depths want=""
    depths=$(icotool -l "$path" 2>&1 | sed -n 's/.*--width=\([0-9]*\).*--bit-depth=\([0-9]*\).*/\1:\2/p' | tr '\n' ' ')
    for n in $sizes; do want+="$n:32 "; done
    expect "$rel icotool width:bits" "$depths" "$want"
}

check_layout system/icons/empty.dll "128 96 64 48 32" "TrueColorAlpha"
check_layout system/icons/full.dll "128 96 64 48 32" "TrueColorAlpha"
check_layout resources/purrbox.ico "32" "GrayscaleAlpha"

# Shape of the cut-out, at the largest and the smallest size.
for mood in empty full; do
    f="$root/system/icons/$mood.dll"
    [ -f "$f" ] || continue
    for idx in 0 4; do
        img="ico:${f}[$idx]"
        fx_true "${mood}[$idx] top corners and gap between the ears transparent" \
            "$img" "p{0,0}.a==0 && p{w-1,0}.a==0 && p{w/2,0}.a==0"
        fx_true "${mood}[$idx] left and right edges transparent beside the head" \
            "$img" "p{0,h/2}.a==0 && p{w-1,h/2}.a==0"
        fx_true "${mood}[$idx] bottom row opaque across the width" \
            "$img" "p{0,h-1}.a==1 && p{w/2,h-1}.a==1 && p{w-1,h-1}.a==1"
        # Anti-aliased outline: some pixels are neither clear nor solid.
        soft=$(convert "$img" -alpha extract -fx 'u>0 && u<1' -format '%[fx:mean*w*h]' info: 2>&1)
        if [[ "$soft" =~ ^[0-9.]+$ ]] && awk "BEGIN{exit !($soft >= 20)}"; then
            ok "${mood}[$idx] soft edge: $soft semi-transparent pixels"
        else
            bad "${mood}[$idx] soft edge: '$soft' semi-transparent pixels, want at least 20"
        fi
    done
done

# The mouth: mean colour of the area below the nose.  Open, it is dark red;
# closed, it is mostly white fur.
#        file   index crop
mouth_cases=(
    "empty  0  32x20+48+76  open"
    "empty  4  8x5+12+19    open"
    "full   0  32x20+48+76  closed"
    "full   4  8x5+12+19    closed"
)
for case in "${mouth_cases[@]}"; do
    read -r mood idx crop want <<<"$case"
    f="$root/system/icons/$mood.dll"
    [ -f "$f" ] || continue
    rg=$(convert "ico:${f}[$idx]" -crop "$crop" +repage -format '%[fx:mean.r] %[fx:mean.g]' info: 2>&1)
    read -r r g <<<"$rg"
    if ! [[ "$r" =~ ^[0-9.]+$ && "$g" =~ ^[0-9.]+$ ]]; then
        bad "${mood}[$idx] mouth colour unreadable: $rg"
        continue
    fi
    if awk "BEGIN{exit !($g < 0.35 && $r - $g > 0.25)}"; then seen=open
    elif awk "BEGIN{exit !($g > 0.6)}"; then seen=closed
    else seen=unclear; fi
    expect "${mood}[$idx] mouth (mean r=$r g=$g)" "$seen" "$want"
done

# Previews for a person to look at.
for mood in empty full; do
    f="$root/system/icons/$mood.dll"
    [ -f "$f" ] || continue
    if ! { convert "ico:${f}[0]" "$out/${mood}_128.png" &&
           convert "ico:${f}[4]" "$out/${mood}_32.png" &&
           convert "ico:${f}[4]" -filter point -resize 64x64 "$out/${mood}_32_x2.png"; }; then
        bad "$mood: writing previews failed"
    fi
done
if [ -f "$root/resources/purrbox.ico" ]; then
    if ! { convert "ico:$root/resources/purrbox.ico" "$out/purrbox_32.png" &&
           convert "ico:$root/resources/purrbox.ico" -filter point -resize 64x64 "$out/purrbox_32_x2.png"; }; then
        bad "purrbox.ico: writing previews failed"
    fi
fi
for png in "$out"/empty_128.png "$out"/empty_32.png "$out"/empty_32_x2.png \
           "$out"/full_128.png "$out"/full_32.png "$out"/full_32_x2.png "$out"/purrbox_32_x2.png; do
    if [ -s "$png" ]; then
        echo "preview $png ($(identify -format '%wx%h' "$png"))"
    else
        bad "preview $png not written"
    fi
done

echo "icons: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
