#!/usr/bin/env bash
# Hosts for the recording farm's tests on this one machine: an sshd on 127.0.0.1 at a free
# port, with a host key, a user key and login users of its own, so that GNU parallel sees each
# user as a host.
#   farm_hosts.sh start DIR [USERS]   starts it (USERS login users, default 2); DIR/env then
#                                     sets PARALLEL_SSH (the ssh with key, port and options)
#                                     and FARM_HOSTS (user@127.0.0.1,...)
#   farm_hosts.sh stop DIR            stops it and removes DIR
# Making users and starting sshd needs root. Without it, or without sshd and GNU parallel,
# start writes the reason to DIR/skip and succeeds, so that the tests needing the hosts skip
# with that reason instead of failing.
set -euo pipefail
mode=$1
dir=$2
users=${3:-2}
user_prefix=film03farm

stop() {
    if [[ -f "$dir/sshd.pid" ]]; then
        pid=$(cat "$dir/sshd.pid")
        kill "$pid" 2>/dev/null || true
        # sshd removes its PID file as it ends.
        for _ in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
    fi
    rm -rf "$dir"
}

skip() {
    echo "$*" >"$dir/skip"
    echo "farm hosts not started: $*"
    exit 0
}

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start() {
    stop
    mkdir -p "$dir"
    chmod 755 "$dir"
    [[ $(id -u) -eq 0 ]] || skip "making login users and starting sshd needs root"
    local sshd
    sshd=$(command -v sshd || echo /usr/sbin/sshd)
    [[ -x "$sshd" ]] || skip "sshd is not installed (scripts/install-deps installs openssh-server)"
    command -v parallel >/dev/null || skip "GNU parallel is not installed (scripts/install-deps)"
    command -v rsync >/dev/null || skip "rsync is not installed (scripts/install-deps)"

    local hosts=() user
    for i in $(seq "$users"); do
        user=$user_prefix$i
        # "*": no password, but not a locked account, which sshd would refuse.
        id "$user" >/dev/null 2>&1 || useradd -m -s /bin/bash -p '*' "$user"
        hosts+=("$user@127.0.0.1")
    done
    ssh-keygen -q -t ed25519 -N '' -f "$dir/host_key"
    ssh-keygen -q -t ed25519 -N '' -f "$dir/user_key"
    # Read with each user's rights.
    cp "$dir/user_key.pub" "$dir/authorized_keys"
    chmod 644 "$dir/authorized_keys"
    mkdir -p /run/sshd

    local port started=0
    for _ in 1 2 3 4 5; do
        port=$(free_port)
        cat >"$dir/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $port
HostKey $dir/host_key
AuthorizedKeysFile $dir/authorized_keys
PidFile $dir/sshd.pid
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
AllowUsers ${hosts[*]%@*}
X11Forwarding no
LogLevel ERROR
EOF
        # sshd binds its port before it goes into the background, and fails when it cannot.
        if "$sshd" -f "$dir/sshd_config" -E "$dir/sshd.log"; then
            started=1
            break
        fi
    done
    [[ $started -eq 1 ]] || {
        echo "sshd did not start: $(cat "$dir/sshd.log" 2>/dev/null)" >&2
        exit 1
    }

    cat >"$dir/ssh" <<EOF
#!/bin/sh
exec ssh -i "$dir/user_key" -p $port -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null \\
    -o LogLevel=ERROR -o BatchMode=yes "\$@"
EOF
    chmod 755 "$dir/ssh"
    local joined
    joined=$(IFS=,; echo "${hosts[*]}")
    printf 'export PARALLEL_SSH=%q\nexport FARM_HOSTS=%q\n' "$dir/ssh" "$joined" >"$dir/env"
    for host in "${hosts[@]}"; do
        "$dir/ssh" "$host" true || {
            echo "cannot log in as $host: $(cat "$dir/sshd.log")" >&2
            exit 1
        }
    done
    echo "farm hosts: $joined on port $port"
}

case $mode in
    start) start ;;
    stop) stop ;;
    *)
        echo "usage: farm_hosts.sh start|stop DIR [USERS]" >&2
        exit 2
        ;;
esac
