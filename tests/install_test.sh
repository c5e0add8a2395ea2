#!/usr/bin/env bash
# Tests of the installed game, run by ctest (tests/install_tests.cmake gives the environment):
#
#   install_test.sh launcher   the launcher alone, in a tree with a stand-in game
#   install_test.sh tree       `cmake --install` to a prefix: the files, the validators, no build paths
#   install_test.sh play       a scripted game run headless from an installed tree
#   install_test.sh deb        the Debian package: contents, control fields, and as root dpkg -i / -r
#
# Exit status 0 passed, 77 skipped (what the test needs is not built), anything else failed.
set -euo pipefail

mode=${1:?usage: install_test.sh launcher|tree|play|deb}
: "${GRAPPIX_SOURCE_DIR:?}" "${GRAPPIX_BUILD_DIR:?}" "${GRAPPIX_RUN_DIR:?}" "${GRAPPIX_LAUNCHER:?}"
: "${GRAPPIX_APP_ID:?}" "${GRAPPIX_GAMEDIR:?}" "${GRAPPIX_SCREENSHOT_BASE_URL:?}" "${GRAPPIX_ICON_SIZES:?}" "${CMAKE_COMMAND:?}"
IFS=, read -r -a icon_sizes <<<"$GRAPPIX_ICON_SIZES"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
note() { echo "-- $*"; }
finish() {
    if ((failures)); then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
    exit 0
}

tmp=$(mktemp -d "${TMPDIR:-/tmp}/grappix-install-test.XXXXXX")
cleanup_hooks=()
cleanup() {
    local hook
    for hook in "${cleanup_hooks[@]}"; do eval "$hook" || true; done
    rm -rf "$tmp"
}
trap cleanup EXIT
# A timed-out test is ended with a signal: clean up then too (above all, remove the package).
trap 'exit 143' TERM
trap 'exit 130' INT

need_engine_and_assets() {
    if [[ $GRAPPIX_HAVE_ENGINE != 1 || $GRAPPIX_HAVE_ASSETS != 1 ]]; then
        echo "skipped: this build has no engine library or no assets to play with"
        exit 77
    fi
}

# Width and height of a PNG, from its header chunk.
png_size() {
    local w h
    w=$(od -An -tu1 -j16 -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
    h=$(od -An -tu1 -j20 -N4 "$1" | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
    echo "${w}x${h}"
}

# Files under $1 that name the source or build folder.
grep_build_paths() {
    grep -rlF -e "$GRAPPIX_SOURCE_DIR" -e "$GRAPPIX_BUILD_DIR" "$1" || true
}

# The input script of the scripted game: pick "Normal" on the title, then shoot, reel in,
# let go and jump a few times.
write_game_script() {
    cat >"$1" <<'EOF'
# title: left click on "Normal"
1 mouse 800 430
10 down left
14 up left
# game: shoot ahead, reel in, let go, jump
120 mouse 1100 200
121 down left
150 down right
175 up right
185 up left
200 down middle
204 up middle
230 mouse 1300 150
232 down left
260 down right
280 up right
290 up left
EOF
}

# Runs a command that installs from the build folder, keeping the build's install manifests
# as they were: they list what a real install put where, for uninstalling it, and a test's
# install must not overwrite them. One such command at a time per build folder.
keeping_manifests() {
    local status=0 m saved=$tmp/manifests
    mkdir -p "$saved"
    exec 8>"$GRAPPIX_BUILD_DIR/.install-test.lock"
    flock 8
    rm -f "$saved"/*
    for m in install_manifest.txt install_manifest_game.txt; do
        [[ ! -f $GRAPPIX_BUILD_DIR/$m ]] || cp -p "$GRAPPIX_BUILD_DIR/$m" "$saved/$m"
    done
    "$@" || status=$?
    for m in install_manifest.txt install_manifest_game.txt; do
        if [[ -f $saved/$m ]]; then cp -p "$saved/$m" "$GRAPPIX_BUILD_DIR/$m"; else rm -f "$GRAPPIX_BUILD_DIR/$m"; fi
    done
    flock -u 8
    return $status
}

# Installs the build into prefix $1 (DESTDIR and further options may follow).
install_to() {
    local prefix=$1
    shift
    keeping_manifests "$CMAKE_COMMAND" --install "$GRAPPIX_BUILD_DIR" --prefix "$prefix" "$@" >"$tmp/install.log" 2>&1 || {
        cat "$tmp/install.log" >&2
        fail "cmake --install to $prefix failed"
        finish
    }
}

# Checks the tree installed under root $1 (a prefix, or DESTDIR plus prefix). $2 is the path
# prefix the files are listed with (empty for a prefix, "./usr/" style for a package).
check_layout() {
    local root=$1 id=$GRAPPIX_APP_ID gamedir=$GRAPPIX_GAMEDIR
    local list out
    list=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)

    # Nothing but the game: no tests, benchmarks, stand-in engines or asset generator.
    local allowed="^(bin/grappix|$gamedir/grappix|$gamedir/Data/[^/]+|share/applications/$id\.desktop"
    allowed+="|share/metainfo/$id\.metainfo\.xml|share/icons/hicolor/[0-9]+x[0-9]+/apps/grappix\.png"
    allowed+="|share/doc/grappix/[^/]+|share/man/man6/grappix\.6\.gz)$"
    local stray
    stray=$(grep -Ev "$allowed" <<<"$list" || true)
    [[ -z $stray ]] || fail "files that are not part of the game were installed: $stray"

    local f
    for f in bin/grappix "$gamedir/grappix"; do
        [[ -x $root/$f ]] || fail "$f is missing or not executable"
    done
    head -c 4 "$root/$gamedir/grappix" | grep -q ELF || fail "$gamedir/grappix is not the game executable"
    # The only machine code in Data/ is the engine library.
    for f in "$root/$gamedir"/Data/*; do
        [[ $(basename "$f") == Brisel.vqd ]] && continue
        if [[ $(head -c 4 "$f" | tr -d '\0') == $'\x7fELF' ]]; then fail "a program was installed among the assets: $f"; fi
    done
    if [[ $GRAPPIX_HAVE_ENGINE == 1 ]]; then
        [[ -f $root/$gamedir/Data/Brisel.vqd ]] || fail "the engine library $gamedir/Data/Brisel.vqd is missing"
    fi
    # Every asset of the run folder, unchanged.
    for f in "$GRAPPIX_RUN_DIR"/Data/*; do
        local name
        name=$(basename "$f")
        [[ $name == Brisel.vqd || $name == *.part ]] && continue
        cmp -s "$f" "$root/$gamedir/Data/$name" || fail "asset $name is missing or differs from the build's"
    done

    if [[ $GRAPPIX_HAVE_ASSETS == 1 ]]; then
        local n icon
        for n in "${icon_sizes[@]}"; do
            icon=$root/share/icons/hicolor/${n}x${n}/apps/grappix.png
            if [[ ! -f $icon ]]; then
                fail "icon ${n}x${n} is missing"
            elif [[ $(png_size "$icon") != "${n}x${n}" ]]; then
                fail "icon in ${n}x${n}/ is $(png_size "$icon") pixels"
            fi
        done
        # The font's licence travels with it, and in the documentation folder.
        local licences
        licences=$(find "$root/share/doc/grappix" -type f 2>/dev/null | wc -l)
        ((licences > 0)) || fail "no licence in share/doc/grappix"
        [[ -f $root/$gamedir/Data/font.ttf ]] || fail "font.ttf is missing"
        grep -rqi "dejavu" "$root/share/doc/grappix" 2>/dev/null || fail "the font's licence is not in share/doc/grappix"
    fi
    # Ours and the font's licence in Debian's machine-readable copyright format: a header
    # stanza, then stanzas of files, each licence named and its text given.
    local copyright=$root/share/doc/grappix/copyright
    if [[ ! -f $copyright ]]; then
        fail "share/doc/grappix/copyright is missing"
    else
        head -1 "$copyright" | grep -qx "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ||
            fail "the copyright file is not in the machine-readable format"
        ! grep -q "@[A-Z_]*@" "$copyright" || fail "the copyright file has unfilled fields"
        local licence
        for licence in Expat bitstream-vera; do
            grep -qx "License: $licence" "$copyright" || fail "the copyright file names no $licence files"
            # A stanza of its own gives the licence's text, indented.
            awk -v l="License: $licence" '$0 == l && prev == "" {found = 1; next} found && /^ / {text++} found && !/^ / {exit} {prev = $0} END {exit !(text > 5)}' "$copyright" ||
                fail "the copyright file lacks the text of the $licence licence"
        done
    fi

    # The desktop entry, the icon it names and the AppStream metadata that points at it.
    local desktop=$root/share/applications/$id.desktop metainfo=$root/share/metainfo/$id.metainfo.xml
    [[ -f $desktop ]] || fail "desktop entry $id.desktop is missing"
    [[ -f $metainfo ]] || fail "AppStream metadata $id.metainfo.xml is missing"
    if [[ -f $desktop ]]; then
        grep -qx "Exec=grappix" "$desktop" || fail "the desktop entry does not start the launcher"
        grep -qx "Icon=grappix" "$desktop" || fail "the desktop entry names another icon"
        grep -qx "Categories=Game;ActionGame;" "$desktop" || fail "the desktop entry is not filed under games"
        if [[ -n ${DESKTOP_FILE_VALIDATE:-} && -x ${DESKTOP_FILE_VALIDATE:-} ]]; then
            out=$("$DESKTOP_FILE_VALIDATE" "$desktop" 2>&1) || fail "desktop-file-validate: $out"
            [[ -z $out ]] || fail "desktop-file-validate has remarks: $out"
        else
            fail "desktop-file-validate not found (Debian package desktop-file-utils)"
        fi
    fi
    if [[ -f $metainfo ]]; then
        grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
            fail "the AppStream metadata does not launch $id.desktop"
        grep -q '<content_rating type="oars-1.1"' "$metainfo" || fail "no OARS content rating"
        grep -q '<project_license>MIT AND Bitstream-Vera</project_license>' "$metainfo" || fail "no project licence"
        grep -q '<screenshot type="default">' "$metainfo" || fail "no default screenshot"
        # Each screenshot is one of ours, at its place in the source tree.
        local url
        while read -r url; do
            [[ $url == "$GRAPPIX_SCREENSHOT_BASE_URL"/* && -f $GRAPPIX_SOURCE_DIR/${url#"$GRAPPIX_SCREENSHOT_BASE_URL"/} ]] ||
                fail "screenshot $url is not a picture under docs/"
        done < <(sed -n 's|.*<image>\(.*\)</image>.*|\1|p' "$metainfo")
        if [[ -n ${APPSTREAMCLI:-} && -x ${APPSTREAMCLI:-} ]]; then
            # --strict: anything above pedantic (a missing rating is only an "info") fails.
            out=$("$APPSTREAMCLI" validate --no-net --strict --no-color "$metainfo" 2>&1) ||
                fail "appstreamcli validate: $out"
            # The tree as a whole: the desktop entry the metadata launches is really there.
            out=$("$APPSTREAMCLI" validate-tree --no-net --strict --no-color "$root" 2>&1) ||
                fail "appstreamcli validate-tree: $out"
        else
            fail "appstreamcli not found (Debian package appstream)"
        fi
    fi

    # The manual page: compressed, and groff reads it without a warning.
    local man=$root/share/man/man6/grappix.6.gz
    if [[ ! -f $man ]]; then
        fail "manual page share/man/man6/grappix.6.gz is missing"
    elif ! gzip -t "$man" 2>/dev/null; then
        fail "the manual page is not gzip-compressed"
    elif command -v groff >/dev/null; then
        out=$(gzip -dc "$man" | groff -man -ww -z -Tutf8 2>&1) && [[ -z $out ]] ||
            fail "groff has remarks on the manual page: $out"
    fi

    local leaks
    leaks=$(grep_build_paths "$root")
    [[ -z $leaks ]] || fail "paths of the build machine left in: $leaks"
}

# Plays the scripted game with the launcher $1 from the working directory $2, with relative
# file names for the script and the trace. Prints the trace's path. Every run keeps its records
# in a fresh folder of its own: a record set by one run shows on the next one's screens.
play_installed() {
    local launcher=$1 cwd=$2
    mkdir -p "$cwd"
    write_game_script "$cwd/game.input"
    local status=0
    (cd "$cwd" && XDG_DATA_HOME="$cwd/xdg-data" BRISEL_INPUT=game.input BRISEL_TRACE=game.trace BRISEL_FRAMES=300 \
        BRISEL_SEED=7 BRISEL_NOPACE=1 "$launcher" >"$cwd/stdout" 2>"$cwd/stderr") || status=$?
    if ((status != 0)); then
        fail "$launcher ended with status $status: $(cat "$cwd/stderr")"
        return
    fi
    [[ -s $cwd/game.trace ]] || fail "no trace written to $cwd/game.trace"
    grep -qx "frame 300" "$cwd/game.trace" || fail "the installed game did not run its 300 frames"
    # The clicks reached the game: "Normal" started its music, and the hook was shot.
    grep -qx "play chaser3.ogg 1" "$cwd/game.trace" || fail "the scripted game never left the title"
    grep -qx "play arrow01.ogg 0" "$cwd/game.trace" || fail "the scripted game never shot the hook"
}

# The same game from the build's run folder: the reference the installed runs must match.
play_reference() {
    local dir=$tmp/reference
    mkdir -p "$dir"
    write_game_script "$dir/game.input"
    (cd "$GRAPPIX_RUN_DIR" && XDG_DATA_HOME="$dir/xdg-data" BRISEL_INPUT=$dir/game.input BRISEL_TRACE=$dir/game.trace \
        BRISEL_FRAMES=300 BRISEL_SEED=7 BRISEL_NOPACE=1 ./grappix >/dev/null 2>"$dir/stderr") ||
        { fail "the game in the run folder failed: $(cat "$dir/stderr")"; finish; }
    echo "$dir/game.trace"
}

# Compares two traces of the scripted game. Their "stop" lines are left out: releasing a sound
# writes one only when the sound is still playing at that moment, which depends on how fast
# the audio thread got along, not on the game.
same_game() {
    local reference=$1 trace=$2 what=$3
    if ! cmp -s <(grep -v '^stop ' "$reference") <(grep -v '^stop ' "$trace"); then
        fail "$what played differently from the run folder (first difference below)"
        diff <(grep -v '^stop ' "$reference") <(grep -v '^stop ' "$trace") | head -5 >&2 || true
    fi
}

case $mode in
launcher)
    # A tree shaped like an install, with a stand-in game that reports what it was given.
    prefix="$tmp/a prefix"
    game="$prefix/$GRAPPIX_GAMEDIR"
    mkdir -p "$prefix/bin" "$game/Data"
    cp "$GRAPPIX_LAUNCHER" "$prefix/bin/grappix"
    chmod +x "$prefix/bin/grappix"
    cat >"$game/grappix" <<'EOF'
#!/bin/sh
{
    echo "cwd=$(pwd -P)"
    echo "args=$*"
    echo "input=${BRISEL_INPUT-unset}"
    echo "trace=${BRISEL_TRACE-unset}"
    echo "shots=${BRISEL_SHOTS-unset}"
} >"$REPORT"
exit 3
EOF
    chmod +x "$game/grappix"
    game_real=$(cd "$game" && pwd -P)
    mkdir -p "$tmp/elsewhere" "$tmp/links"
    export REPORT=$tmp/report

    # Run one way of starting the game; $1 names it, the rest is the command.
    start() {
        local what=$1 status=0
        shift
        rm -f "$REPORT"
        (cd "$tmp/elsewhere" && unset BRISEL_INPUT BRISEL_TRACE BRISEL_SHOTS && "$@") || status=$?
        [[ $status == 3 ]] || fail "$what: exit status $status, not the game's 3"
        [[ -f $REPORT ]] && grep -qxF "cwd=$game_real" "$REPORT" ||
            fail "$what: the game did not run in its own folder ($(head -1 "$REPORT" 2>/dev/null))"
    }
    start "by its path" "$prefix/bin/grappix"
    start "through PATH" env PATH="$prefix/bin:$PATH" grappix
    ln -s "$prefix/bin/grappix" "$tmp/links/absolute"
    start "through a link" "$tmp/links/absolute"
    ln -s "../a prefix/bin/grappix" "$tmp/links/relative"
    ln -s relative "$tmp/links/chained"
    start "through a relative link to a link" "$tmp/links/chained"
    start "by a relative path" ../"a prefix"/bin/grappix

    # Arguments pass through untouched.
    start "with arguments" "$prefix/bin/grappix" one "two words"
    grep -qxF "args=one two words" "$REPORT" || fail "arguments were not passed on: $(grep args= "$REPORT")"

    # File names in the engine's settings mean the caller's folder, not the game's.
    rm -f "$REPORT"
    (cd "$tmp/elsewhere" && BRISEL_INPUT=game.input BRISEL_TRACE=out/trace BRISEL_SHOTS=/abs/shots \
        "$prefix/bin/grappix") || true
    elsewhere_real=$(cd "$tmp/elsewhere" && pwd -P)
    grep -qxF "input=$elsewhere_real/game.input" "$REPORT" || fail "relative BRISEL_INPUT not resolved: $(grep input= "$REPORT")"
    grep -qxF "trace=$elsewhere_real/out/trace" "$REPORT" || fail "relative BRISEL_TRACE not resolved: $(grep trace= "$REPORT")"
    grep -qxF "shots=/abs/shots" "$REPORT" || fail "absolute BRISEL_SHOTS changed: $(grep shots= "$REPORT")"
    start "with no settings" "$prefix/bin/grappix"
    grep -qxF "input=unset" "$REPORT" || fail "an unset BRISEL_INPUT was set: $(grep input= "$REPORT")"

    # A game folder gone missing: a clear message and status 1, not a shell error.
    mv "$game/grappix" "$game/grappix.away"
    status=0
    msg=$(cd "$tmp/elsewhere" && "$prefix/bin/grappix" 2>&1) || status=$?
    [[ $status == 1 ]] || fail "missing game: exit status $status, expected 1"
    [[ $msg == *"the game is missing from "*"$GRAPPIX_GAMEDIR"* ]] || fail "missing game: unclear message: $msg"

    # POSIX sh, and nothing of the build machine inside.
    head -1 "$GRAPPIX_LAUNCHER" | grep -qx '#!/bin/sh' || fail "the launcher is not a /bin/sh script"
    if command -v dash >/dev/null; then dash -n "$GRAPPIX_LAUNCHER" || fail "dash cannot parse the launcher"; fi
    leaks=$(grep_build_paths "$GRAPPIX_LAUNCHER")
    [[ -z $leaks ]] || fail "the launcher names a path of the build machine"
    finish
    ;;

tree)
    # To a prefix with a space in it, then staged with DESTDIR as packagers do.
    prefix="$tmp/the prefix"
    install_to "$prefix"
    check_layout "$prefix"
    note "DESTDIR staging"
    DESTDIR="$tmp/stage" install_to /opt/grappix-install-test
    [[ ! -e /opt/grappix-install-test ]] || fail "DESTDIR staging wrote to the real prefix"
    [[ -x $tmp/stage/opt/grappix-install-test/bin/grappix ]] || fail "nothing staged under DESTDIR"
    diff <(cd "$prefix" && find . | sort) <(cd "$tmp/stage/opt/grappix-install-test" && find . | sort) >/dev/null ||
        fail "the staged tree differs from the installed one"
    finish
    ;;

play)
    need_engine_and_assets
    reference=$(play_reference)
    prefix="$tmp/play prefix"
    install_to "$prefix"
    note "the installed launcher, started from another folder"
    play_installed "$prefix/bin/grappix" "$tmp/elsewhere"
    same_game "$reference" "$tmp/elsewhere/game.trace" "the installed game"
    # The launcher hands its options to the game: the versions, and a bad option's status.
    out=$("$prefix/bin/grappix" --version 2>&1) || fail "grappix --version ended with status $?: $out"
    [[ $(head -1 <<<"$out") == "grappix 1.1.0" && $(sed -n 2p <<<"$out") == "Brisel 1."* ]] ||
        fail "grappix --version said: $out"
    status=0
    "$prefix/bin/grappix" --no-such-option >/dev/null 2>&1 || status=$?
    ((status == 2)) || fail "a bad option ended the installed game with status $status, not 2"
    # The whole tree moved elsewhere after installing still plays.
    mv "$prefix" "$tmp/moved"
    play_installed "$tmp/moved/bin/grappix" "$tmp/elsewhere2"
    same_game "$reference" "$tmp/elsewhere2/game.trace" "the moved tree"
    finish
    ;;

deb)
    : "${CPACK_COMMAND:?}"
    command -v dpkg-deb >/dev/null || { echo "skipped: no dpkg-deb"; exit 77; }
    if [[ $GRAPPIX_HAVE_ENGINE != 1 || $GRAPPIX_HAVE_ASSETS != 1 ]]; then
        echo "skipped: a package without the engine library or the assets would not be the game"
        exit 77
    fi
    note "cpack -G DEB"
    (cd "$GRAPPIX_BUILD_DIR" && keeping_manifests "$CPACK_COMMAND" -G DEB -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1) ||
        { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB failed"; finish; }
    debs=("$tmp"/pkg/grappix_*.deb)
    [[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || { fail "expected one grappix_*.deb, got: ${debs[*]}"; finish; }
    deb=${debs[0]}
    note "$(basename "$deb")"

    # Control fields.
    field() { dpkg-deb -f "$deb" "$1"; }
    [[ $(field Package) == grappix ]] || fail "Package is $(field Package)"
    [[ $(field Section) == games ]] || fail "Section is $(field Section), not games"
    [[ $(field Architecture) == $(dpkg --print-architecture) ]] || fail "Architecture is $(field Architecture)"
    [[ $(field Maintainer) == *"<"*@*">" ]] || fail "Maintainer has no address: $(field Maintainer)"
    [[ -n $(field Description) ]] || fail "no Description"
    depends=$(field Depends)
    for p in libsdl2-2.0-0 libsdl2-ttf-2.0-0 libdeflate0 libpng16-16 libvorbisfile3; do
        grep -Eq "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends does not name $p: $depends"
    done
    [[ $depends != *-dev* ]] || fail "Depends names a development package: $depends"

    # Contents: the layout under /usr, owned by root, executables executable.
    contents=$(dpkg-deb -c "$deb")
    for f in ./usr/bin/grappix ./usr/share/man/man6/grappix.6.gz "./usr/$GRAPPIX_GAMEDIR/grappix" "./usr/$GRAPPIX_GAMEDIR/Data/Brisel.vqd" \
        "./usr/share/applications/$GRAPPIX_APP_ID.desktop" "./usr/share/metainfo/$GRAPPIX_APP_ID.metainfo.xml"; do
        grep -q " $f\$" <<<"$contents" || fail "the package lacks $f"
    done
    for n in "${icon_sizes[@]}"; do
        grep -q " ./usr/share/icons/hicolor/${n}x${n}/apps/grappix.png\$" <<<"$contents" || fail "the package lacks the ${n}x${n} icon"
    done
    for f in "$GRAPPIX_RUN_DIR"/Data/*; do
        [[ $f != *.part ]] || continue
        grep -q " ./usr/$GRAPPIX_GAMEDIR/Data/$(basename "$f")\$" <<<"$contents" || fail "the package lacks Data/$(basename "$f")"
    done
    grep -q " ./usr/share/doc/grappix/copyright\$" <<<"$contents" || fail "the package has no /usr/share/doc/grappix/copyright"
    grep -E " \./usr/bin/grappix$" <<<"$contents" | grep -q '^-rwxr-xr-x root/root' ||
        fail "/usr/bin/grappix is not an executable owned by root: $(grep ' ./usr/bin/grappix$' <<<"$contents")"
    # What the packed tree holds, as a tree: same checks as an install.
    dpkg-deb -x "$deb" "$tmp/unpacked"
    check_layout "$tmp/unpacked/usr"
    # Stripped, but the engine library still exports its entry points.
    if command -v nm >/dev/null; then
        exports=$(nm -D --defined-only "$tmp/unpacked/usr/$GRAPPIX_GAMEDIR/Data/Brisel.vqd" | grep -c ' T ' || true)
        ((exports >= 132)) || fail "the packed engine library exports $exports entry points"
    fi
    reference=$(play_reference)
    note "the unpacked package, played from another folder"
    play_installed "$tmp/unpacked/usr/bin/grappix" "$tmp/unpacked-run"
    same_game "$reference" "$tmp/unpacked-run/game.trace" "the unpacked package"

    # Installing it for real needs root; one install at a time on this machine.
    if [[ $(id -u) != 0 ]]; then
        note "skipped dpkg -i: not root"
        finish
    fi
    exec 9>/tmp/grappix-dpkg-test.lock
    flock -w 120 9 || { fail "another test holds the dpkg lock"; finish; }
    if [[ $(dpkg-query -W -f='${Status}' grappix 2>/dev/null || true) == *" installed" ]]; then
        note "skipped dpkg -i: a grappix package is already installed here, and stays"
        finish
    fi
    # dpkg gives up at once while apt or another dpkg holds its lock: wait for it a while.
    dpkg_waiting() {
        local tries=0
        until dpkg "$@" >"$tmp/dpkg.log" 2>&1; do
            if grep -qi "lock" "$tmp/dpkg.log" && ((++tries < 60)); then
                sleep 2
            else
                cat "$tmp/dpkg.log" >&2
                return 1
            fi
        done
    }
    note "dpkg -i"
    cleanup_hooks+=("dpkg_waiting -r grappix")
    dpkg_waiting -i "$deb" || { fail "dpkg -i failed"; finish; }
    launcher=$(command -v grappix || true)
    [[ $launcher == /usr/bin/grappix ]] || fail "grappix on PATH is '$launcher', not /usr/bin/grappix"
    play_installed /usr/bin/grappix "$tmp/system-run"
    same_game "$reference" "$tmp/system-run/game.trace" "the installed package"
    note "dpkg -r"
    dpkg_waiting -r grappix || fail "dpkg -r failed"
    [[ ! -e /usr/bin/grappix && ! -e /usr/$GRAPPIX_GAMEDIR ]] || fail "dpkg -r left the game behind"
    finish
    ;;

*)
    echo "unknown mode: $mode" >&2
    exit 2
    ;;
esac
