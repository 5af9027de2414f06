#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for the tests: `start` creates one in a new temporary
# folder, listening on a free loopback port only, and prints the folder, the connection
# string the tests take from LINKARIUM_TEST_PG and the root certificate of its TLS (a
# certificate authority made for it, the server's certificate naming 127.0.0.1), which they
# take from LINKARIUM_TEST_PG_CA; `restart FOLDER` restarts its server (the sessions on it
# end, as in a server's restart); `down FOLDER` stops the server and keeps the folder;
# `stop FOLDER` stops it and removes the folder.
# The server never runs as root: as root, the cluster belongs to the user "nobody".
set -euo pipefail

bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "PostgreSQL server programs not found" >&2
    exit 1
fi

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u nobody -- "$@"
    else
        "$@"
    fi
}

free_port() {
    local port
    for port in $(shuf -i 20000-60000 -n 50); do
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return
        fi
    done
    echo "no free port found" >&2
    exit 1
}

case "${1:-}" in
    start)
        dir="$(mktemp -d /tmp/linkarium-pg.XXXXXX)"
        chmod 0755 "$dir"
        password="$(head -c 18 /dev/urandom | base64 | tr -d '+/=')"
        (umask 077 && printf '%s\n' "$password" >"$dir/pwfile")
        [ "$(id -u)" -ne 0 ] || chown -R nobody "$dir"
        # C.UTF-8: the server folds every letter, Cyrillic included, as the program does.
        as_owner "$bin/initdb" -D "$dir/data" -U linkarium --pwfile="$dir/pwfile" \
            --auth=scram-sha-256 --encoding=UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 || {
            cat "$dir/initdb.log" >&2
            exit 1
        }
        tls="$dir/tls"
        mkdir -p "$tls"
        {
            openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Linkarium test CA" \
                -keyout "$tls/ca.key" -out "$tls/ca.crt"
            openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" \
                -keyout "$tls/server.key" -out "$tls/server.csr"
            printf 'subjectAltName=IP:127.0.0.1\n' >"$tls/ext"
            openssl x509 -req -in "$tls/server.csr" -CA "$tls/ca.crt" -CAkey "$tls/ca.key" \
                -CAcreateserial -days 2 -extfile "$tls/ext" -out "$tls/server.crt"
        } >"$dir/tls.log" 2>&1 || {
            cat "$dir/tls.log" >&2
            exit 1
        }
        chmod 0600 "$tls/server.key" "$tls/ca.key"
        [ "$(id -u)" -ne 0 ] || chown -R nobody "$tls"
        port="$(free_port)"
        as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
            -o "-p $port -k $dir -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200 -c ssl=on -c ssl_cert_file=$tls/server.crt -c ssl_key_file=$tls/server.key" \
            start >/dev/null || {
            cat "$dir/server.log" >&2
            exit 1
        }
        echo "$dir"
        echo "Provider=PostgreSQL;Data Source=127.0.0.1:$port;Initial Catalog=postgres;User ID=linkarium;Password=$password"
        echo "$tls/ca.crt"
        ;;
    restart)
        dir="${2:?usage: $0 restart FOLDER}"
        case "$dir" in /tmp/linkarium-pg.*) ;; *) echo "not a test cluster: $dir" >&2; exit 2 ;; esac
        as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -m fast -w -t 60 restart >/dev/null
        ;;
    down)
        dir="${2:?usage: $0 down FOLDER}"
        case "$dir" in /tmp/linkarium-pg.*) ;; *) echo "not a test cluster: $dir" >&2; exit 2 ;; esac
        as_owner "$bin/pg_ctl" -D "$dir/data" -m fast -w -t 60 stop >/dev/null
        ;;
    stop)
        dir="${2:?usage: $0 stop FOLDER}"
        case "$dir" in /tmp/linkarium-pg.*) ;; *) echo "not a test cluster: $dir" >&2; exit 2 ;; esac
        as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
        rm -rf "$dir"
        ;;
    *)
        echo "usage: $0 start | restart FOLDER | down FOLDER | stop FOLDER" >&2
        exit 2
        ;;
esac
