#!/usr/bin/env bash
# scripts/record-farm over real SSH hosts on this machine (farm_hosts.sh), checked from outside:
#   farm_check.sh CASE BIN_DIR DATA_DIR HOSTS_DIR
#   join     the first 10 s in 3 segments over two hosts, one segment failing once: the joined
#            video equals a recording made in one run, frame for frame, and its sound too
#   resume   a run stopped by Ctrl+C while its last segment renders leaves only finished
#            segments here and nothing on the hosts; run again, it reuses them
#   refuse   a host with other data and a host that does not answer are refused by name; the
#            run goes on without them
# Skips (77) where the hosts could not be started (HOSTS_DIR/skip says why).
set -euo pipefail
case_name=$1
bin=$2
data=$3
hosts_dir=$4
farm=$(cd "$(dirname "$0")/../scripts" && pwd)/record-farm

if [[ -f $hosts_dir/skip ]]; then
    echo "skipped: $(cat "$hosts_dir/skip")"
    exit 77
fi
[[ -f $hosts_dir/env ]] || {
    echo "FAILED: the farm's hosts are not running (the fixture farm_hosts_start)" >&2
    exit 1
}
# shellcheck source=/dev/null
source "$hosts_dir/env"
IFS=, read -r -a hosts <<<"$FARM_HOSTS"

work=$(mktemp -d /tmp/film03-farm.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The hosts' users write the failure markers and the log of runs here (not sticky: a file of
# another user in a sticky folder cannot be opened for writing).
chmod 755 "$work"
mkdir -m 777 shared
touch shared/runs.log
chmod 666 shared/runs.log
ln -s "$data/Film_03.dat" Film_03.dat
cp "$data/ConfigEngine.cfg" ConfigEngine.cfg
export SDL_AUDIODRIVER=dummy

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# The first 10 s at 160x120, 10 frames a second: 100 frames, seams at 33 and 66.
recording=(--record joined.mkv --codec ffv1 --fps 10 --size 160x120 --until first:10000)

# film03 as the hosts run it: each run is logged with its frames; a segment named in
# fail-once-A-B fails the first time, one named in hold-A-B waits until it is stopped.
cat >film03-host <<EOF
#!/bin/sh
frames=""
for argument in "\$@"; do
    [ "\$previous" = "--frames" ] && frames=\$argument
    previous=\$argument
done
[ -n "\$frames" ] && echo "\$frames" >>"$work/shared/runs.log"
if [ -n "\$frames" ] && [ -f "$work/shared/fail-once-\$frames" ]; then
    rm -f "$work/shared/fail-once-\$frames"
    echo "planned failure of \$frames" >&2
    exit 3
fi
if [ -n "\$frames" ] && [ -f "$work/shared/hold-\$frames" ]; then
    touch "$work/shared/held-\$frames"
    while :; do sleep 0.1; done
fi
exec "$bin/film03" "\$@"
EOF
chmod 755 film03-host

# The joined video against one made in one run: every frame, and the sound.
single() {
    timeout -k 5 600 "$bin/film03" --record single.mkv "${recording[@]:2}" >single.log 2>&1 ||
        fail "the single recording failed: $(tail -c 1000 single.log)"
}
frames_md5() { ffmpeg -v error -nostdin -i "$1" -map 0:v -f framemd5 - | grep -v '^#'; }
sound_md5() { ffmpeg -v error -nostdin -i "$1" -map 0:a -f md5 -; }
check_equal() {
    [[ -s joined.mkv ]] || fail "no joined.mkv"
    frames_md5 single.mkv >single.md5
    frames_md5 joined.mkv >joined.md5
    [[ $(wc -l <single.md5) -eq 100 ]] || fail "the single recording has $(wc -l <single.md5) frames"
    if ! diff single.md5 joined.md5 >frames.diff; then
        fail "joined frames differ from the single recording's: $(head -c 600 frames.diff)"
    fi
    [[ $(sound_md5 single.mkv) == "$(sound_md5 joined.mkv)" ]] ||
        fail "the joined sound differs from the single recording's"
}

# Nothing of a run on the hosts, and here only what the test made.
check_nothing_left() {
    local user left
    for host in "${hosts[@]}"; do
        user=${host%@*}
        left=$(find "$(getent passwd "$user" | cut -d: -f6)" -mindepth 1 -maxdepth 1 \
            -name '.film03-farm-*' 2>/dev/null)
        [[ -z $left ]] || fail "left on $host: $left"
        ! pgrep -u "$user" -f film03 >/dev/null || fail "film03 still runs on $host"
    done
    left=$(find . -name '*.part*' -o -name '*.ffmpeg.log' -o -name '.film03-farm-*')
    [[ -z $left ]] || fail "left here: $left"
}

farm() {
    local status=0
    timeout -k 5 600 "$farm" --hosts "$FARM_HOSTS" --film03 "$work/film03-host" \
        --data "$data/Film_03.dat" "$@" >farm.log 2>&1 || status=$?
    return $status
}

check_join() {
    single
    touch shared/fail-once-33-66
    farm --segments 3 --retries 1 -- "${recording[@]}" || fail "record-farm: $(cat farm.log)"
    cat farm.log
    check_equal
    [[ ! -e shared/fail-once-33-66 ]] || fail "the planned failure did not happen"
    [[ $(grep -c '^33-66$' shared/runs.log) -eq 2 ]] ||
        fail "segment 33-66 was not run again: $(cat shared/runs.log)"
    [[ ! -d joined.farm ]] || fail "joined.farm/ is left after success"
    check_nothing_left
}

# Waits (up to 5 minutes) until every file named exists.
wait_for() {
    for _ in $(seq 3000); do
        local all=1
        for file in "$@"; do [[ -e $file ]] || all=0; done
        [[ $all -eq 1 ]] && return 0
        sleep 0.1
    done
    fail "waited in vain for $*"
}

check_resume() {
    single
    touch shared/hold-66-100
    timeout -k 5 600 "$farm" --hosts "$FARM_HOSTS" --film03 "$work/film03-host" \
        --data "$data/Film_03.dat" --segments 3 -- "${recording[@]}" >farm.log 2>&1 &
    local pid=$!
    wait_for shared/held-66-100 joined.farm/seg-0-33.mkv joined.farm/seg-33-66.mkv
    kill -INT "$pid"
    local status=0
    wait "$pid" || status=$?
    cat farm.log
    [[ $status -eq 130 ]] || fail "a stopped record-farm exited with $status, not 130"
    grep -q 'the same command goes on from them' farm.log || fail "no word on resuming"
    [[ ! -e joined.mkv ]] || fail "a stopped run wrote joined.mkv"
    kept=$(cd joined.farm && ls seg-*.mkv | tr '\n' ' ')
    [[ $kept == "seg-0-33.mkv seg-33-66.mkv " ]] || fail "kept segments: $kept"
    check_nothing_left

    rm -f shared/hold-66-100
    farm --segments 3 -- "${recording[@]}" || fail "record-farm resumed: $(cat farm.log)"
    cat farm.log
    [[ $(grep -c -e '^0-33$' -e '^33-66$' shared/runs.log) -eq 2 ]] ||
        fail "finished segments were made again: $(cat shared/runs.log)"
    check_equal
    check_nothing_left
}

check_refuse() {
    local good=${hosts[0]} other=${hosts[1]}
    local good_home other_home
    good_home=$(getent passwd "${good%@*}" | cut -d: -f6)
    other_home=$(getent passwd "${other%@*}" | cut -d: -f6)
    # The data by a path in each host's own folder: the second host's is one byte off.
    install -o "${good%@*}" -m 644 "$data/Film_03.dat" "$good_home/farm-test.dat"
    install -o "${other%@*}" -m 644 "$data/Film_03.dat" "$other_home/farm-test.dat"
    printf 'x' | dd of="$other_home/farm-test.dat" bs=1 seek=100 conv=notrunc status=none
    local status=0
    timeout -k 5 600 "$farm" --hosts "$good,$other,film03farm-absent@127.0.0.1" \
        --film03 "$bin/film03" --data farm-test.dat --segments 2 -- \
        --record joined.mkv --codec ffv1 --fps 10 --size 160x120 --until first:2000 \
        >farm.log 2>&1 || status=$?
    rm -f "$good_home/farm-test.dat" "$other_home/farm-test.dat"
    cat farm.log
    [[ $status -eq 0 ]] || fail "record-farm on the remaining host exited with $status"
    grep -q "^record-farm: refusing host $other: its farm-test.dat differs from " farm.log ||
        fail "no refusal of $other"
    grep -q '^record-farm: refusing host film03farm-absent@127.0.0.1: it does not answer over SSH$' \
        farm.log || fail "no refusal of the absent host"
    grep -q "in 2 segments on 1/$good\$" farm.log || fail "not run on $good alone"
    [[ $(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 \
        -select_streams v joined.mkv) -eq 20 ]] || fail "joined.mkv has not 20 frames"
    check_nothing_left
}

"check_$case_name"
echo "farm $case_name: passed"
