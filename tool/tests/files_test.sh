#!/bin/sh
# The tool's files, driven from the shell as a user drives them.
# usage: files_test.sh CASE TOOL EXAMPLES_DIR FIXTURES_DIR FAULTS_LIBRARY
# Runs in a fresh folder under the current one; exit 77 skips (ctest
# SKIP_RETURN_CODE) with the reason on standard output.
set -u
case_name=$1
tool=$2
timeline=$3/show.timeline.json
data_long=$4/long_animation.json
faults=$5

rm -rf "work-$case_name"
mkdir "work-$case_name" && cd "work-$case_name" || exit 1

# A run left in the background by a failing check is ended with the test.
# So is a file a case made outside its folder.
pid=""
outside=""
trap 'if [ -n "$pid" ]; then kill -9 $pid 2> /dev/null; fi; if [ -n "$outside" ]; then rm -f "$outside"; fi' EXIT

fail()
{
    echo "FAIL: $*"
    exit 1
}

# The entries of the current folder, on one line.
entries()
{
    ls -A | tr '\n' ' '
}

# Another user, for what root does not show: "nobody", where setpriv exists.
other_user()
{
    if [ "$(id -u)" != 0 ]; then
        return 1
    fi
    command -v setpriv > /dev/null && id nobody > /dev/null 2>&1
}

# A tool built for coverage writes its counters beside its objects, which
# nobody may not: they go to a folder of the case's own instead, so that no
# complaint of the profiler joins the messages the cases compare.
as_nobody()
{
    mkdir -p gcov && chmod 1777 gcov
    GCOV_PREFIX="$PWD/gcov" setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups "$@"
}

# Runs `sample` of a 4-billion-frame animation into out.csv in the
# background, with SIGNAL at its default disposition; sets $pid.
start_long_sample()
{
    cp "$data_long" long.json
    env --default-signal=INT,TERM,HUP,PIPE "$tool" sample long.json -o out.csv &
    pid=$!
}

# Waits up to 5 s for a file matching the pattern to appear.
wait_for()
{
    tries=0
    while ! ls -A | grep -q "$1"; do
        tries=$((tries + 1))
        [ $tries -lt 100 ] || fail "no file matching $1 appeared"
        sleep 0.05
    done
}

# Kills the background run with SIGNAL and checks that it ended by it.
kill_and_check()
{
    kill -s "$1" $pid
    wait $pid
    status=$?
    case $1 in
        HUP) number=1 ;;
        INT) number=2 ;;
        PIPE) number=13 ;;
        TERM) number=15 ;;
    esac
    expected=$((128 + number))
    [ $status = $expected ] || fail "killed by $1: exit status $status, expected $expected"
}

case $case_name in
quoted_names)
    # A name with a newline cannot forge a "FILE: ok" line; quotes, escape
    # sequences and bytes that are not UTF-8 are quoted as GNU tools quote them.
    name=$(printf 'x.json\ny.json: ok\001')
    cp "$timeline" "$name"
    "$tool" check "$name" > out.txt || fail "check"
    printf '%s\n' "'x.json'\$'\\n''y.json: ok'\$'\\001': ok" | cmp - out.txt || fail "check: $(cat out.txt)"
    if "$tool" info "$(printf "it's\033[2J\377")" 2> err.txt; then
        fail "info of a missing file"
    fi
    printf '%s\n' "animationmodel: 'it'\\''s'\$'\\033''[2J'\$'\\377': No such file or directory" | cmp - err.txt ||
        fail "message: $(cat err.txt)"
    # Overlong forms, leads past U+10FFFF and a lead where a continuation
    # byte belongs are not UTF-8.
    for bytes in '\300\200' '\340\200\200' '\365\200\200\200' '\303\303' '\342\202\303'; do
        if "$tool" info "$(printf "x${bytes}y")" 2> err.txt; then
            fail "info of a missing file"
        fi
        printf '%s\n' "animationmodel: 'x'\$'${bytes}''y': No such file or directory" | cmp - err.txt ||
            fail "message: $(cat err.txt)"
    done
    # Tab, vertical tab and DEL by their letters or octal digits.
    if "$tool" check "$(printf 't\tv\vd\177')" 2> err.txt; then
        fail "check of a missing file"
    fi
    printf '%s\n' "animationmodel: 't'\$'\\t''v'\$'\\v''d'\$'\\177': No such file or directory" | cmp - err.txt ||
        fail "message: $(cat err.txt)"
    # C1 controls (U+009B is a CSI) are quoted, other characters are not.
    c1=$(printf 'c\302\233.json')
    cp "$timeline" "$c1"
    cp "$timeline" "$(printf '\303\251t\303\251 \342\202\254.json')"
    "$tool" check "$c1" "$(printf '\303\251t\303\251 \342\202\254.json')" > out.txt || fail "check of C1"
    printf '%s\n' "'c'\$'\\302\\233''.json': ok" "$(printf '\303\251t\303\251 \342\202\254.json'): ok" |
        cmp - out.txt || fail "C1: $(cat out.txt)"
    # The title of a page takes any name, bytes that are not UTF-8 as U+FFFD.
    bad=$(printf 'b\377.json')
    cp "$timeline" "$bad"
    "$tool" play "$bad" -o page.html || fail "play of a name that is not UTF-8"
    grep -q "<title>b$(printf '\357\277\275').json" page.html || fail "title"
    ;;
stdout_append)
    # -o naming the process's own standard output or error writes where it
    # stands: appended to the file the shell opened, never wiping it.
    echo old > log.txt
    "$tool" format "$timeline" -o /dev/stdout >> log.txt || fail "format -o /dev/stdout"
    { echo old; cat "$timeline"; } | cmp - log.txt || fail "/dev/stdout >> log.txt"
    "$tool" sample "$timeline" --to 2 -o /dev/stdout >> log.txt || fail "sample -o /dev/stdout"
    "$tool" format "$timeline" -o /dev/stderr 2>> log.txt || fail "format -o /dev/stderr"
    { echo old; cat "$timeline"; "$tool" sample "$timeline" --to 2; cat "$timeline"; } | cmp - log.txt ||
        fail "appended outputs"
    "$tool" format "$timeline" -o /proc/self/fd/1 > fresh.txt && cmp "$timeline" fresh.txt || fail "/proc/self/fd/1"
    [ "$(entries)" = "fresh.txt log.txt " ] || fail "left: $(entries)"
    ;;
shm_replaced)
    # A regular file is replaced atomically wherever it lies, /dev/shm included.
    [ -d /dev/shm ] && [ -w /dev/shm ] || { echo "SKIP: no writable /dev/shm"; exit 77; }
    target=/dev/shm/animationmodel-test-$$.json
    outside=$target
    # Temporaries of other programs may lie there already: only new ones count.
    temporaries() { ls -A /dev/shm | grep '^\.am-'; }
    others=$(temporaries)
    echo old > "$target"
    before=$(stat -c %i "$target")
    "$tool" format "$timeline" -o "$target" || fail "format -o $target"
    cmp "$timeline" "$target" || fail "content"
    [ "$(stat -c %i "$target")" != "$before" ] || fail "written in place, not replaced"
    [ "$(temporaries)" = "$others" ] || fail "temporary left in /dev/shm"
    ;;
signal_unnamed)
    # Where the file system has unnamed files, the table being written has no
    # name until it is complete: a signal leaves nothing.
    start_long_sample
    sleep 0.5
    [ "$(entries)" = "long.json " ] || fail "a name appeared while writing: $(entries)"
    kill_and_check TERM
    [ "$(entries)" = "long.json " ] || fail "left: $(entries)"
    # Complete, it gets a short name and is renamed at once; a signal in
    # between removes that name too.
    LD_PRELOAD=$faults FAULT_SLOW_RENAME=1 env --default-signal=TERM "$tool" format "$timeline" -o out.json &
    pid=$!
    wait_for '^\.am-'
    kill_and_check TERM
    [ "$(entries)" = "long.json " ] || fail "left after the link: $(entries)"
    ;;
signal_named)
    # Elsewhere the named temporary is removed by SIGINT, SIGTERM, SIGHUP and
    # SIGPIPE, and the run still ends by the signal.
    export LD_PRELOAD=$faults FAULT_NO_TMPFILE=1
    for signal in TERM INT HUP PIPE; do
        start_long_sample
        wait_for '^\.am-'
        kill_and_check $signal
        [ "$(entries)" = "long.json " ] || fail "$signal left: $(entries)"
    done
    # A signal the process ignores stays ignored: the run goes on to the end.
    echo old > out.json
    (trap '' TERM; "$tool" format "$timeline" -o out.json) || fail "format with TERM ignored"
    cmp "$timeline" out.json || fail "format with TERM ignored: content"
    ;;
rename_fails)
    # A failing rename leaves the target as it was and no temporary, by
    # either kind of new file.
    for unnamed in 0 1; do
        echo old > out.json
        if LD_PRELOAD=$faults FAULT_RENAME=1 FAULT_NO_TMPFILE=$unnamed "$tool" format "$timeline" -o out.json 2> err.txt
        then
            fail "exit status 0"
        fi
        [ "$(cat err.txt)" = "animationmodel: out.json: Input/output error" ] || fail "message: $(cat err.txt)"
        [ "$(cat out.json)" = old ] || fail "target changed"
        [ "$(entries)" = "err.txt out.json " ] || fail "left: $(entries)"
    done
    # Through a dangling link the file it names is made first: a failure removes it too.
    ln -s new.json link.json
    if LD_PRELOAD=$faults FAULT_RENAME=1 "$tool" format "$timeline" -o link.json 2> err.txt; then
        fail "through a link: exit status 0"
    fi
    [ "$(entries)" = "err.txt link.json out.json " ] || fail "left through a link: $(entries)"
    ;;
sticky_folder)
    # Another user cannot replace root's file in a sticky folder: exit 1, the
    # file as it was, no temporary, and no word of a replacement.
    other_user || { echo "SKIP: needs root, setpriv and the user nobody to act as another user"; exit 77; }
    mkdir sticky && chmod 1777 sticky && echo x > sticky/f.json && chmod 644 sticky/f.json
    if as_nobody "$tool" format "$timeline" -o sticky/f.json 2> err.txt; then
        fail "exit status 0"
    fi
    [ "$(cat err.txt)" = "animationmodel: sticky/f.json: Operation not permitted" ] || fail "message: $(cat err.txt)"
    [ "$(cat sticky/f.json)" = x ] || fail "file changed"
    [ "$(ls -A sticky)" = f.json ] || fail "left: $(ls -A sticky)"
    ;;
umask)
    # New files take 0666 less the umask of a user who is not root.
    run=""
    if [ "$(id -u)" = 0 ]; then
        other_user || { echo "SKIP: as root, needs setpriv and the user nobody"; exit 77; }
        run=as_nobody
    fi
    mkdir open && chmod 777 open
    for mask in 027 002 077 000; do
        $run sh -c "umask $mask && exec \"\$0\" format \"\$1\" -o open/new-$mask.json" "$tool" "$timeline" ||
            fail "umask $mask"
        want=$(printf '%o' $((0666 & ~0$mask)))
        [ "$(stat -c %a open/new-$mask.json)" = "$want" ] || fail "umask $mask: $(stat -c %a open/new-$mask.json)"
        [ "$(stat -c %u open/new-$mask.json)" = "$($run id -u)" ] || fail "umask $mask: owner"
    done
    [ "$(ls -A open | tr '\n' ' ')" = "new-000.json new-002.json new-027.json new-077.json " ] ||
        fail "left: $(ls -A open)"
    ;;
*)
    fail "unknown case $case_name"
    ;;
esac
exit 0
