#!/usr/bin/env bash
# Runs a command while the HTTP fixture server of the component tests listens on 127.0.0.1:
#   with-fixture-server.sh COMMAND [ARGS...]
# The command finds the server's port in EVESK_HTTP_PORT, a port nothing listens on in
# EVESK_HTTP_CLOSED_PORT and the recorded requests in the folder EVESK_HTTP_DIR. Exits with
# the command's exit code; the server and its folder go with it. EVESK_TLS_PORT and its two
# siblings name the TLS listeners, whose test authority is $EVESK_HTTP_DIR/ca.der.
set -u
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d /tmp/evesk-http.XXXXXX)
python3 "$here/../tests/fixtures/http_fixture.py" --dir "$dir" &
pid=$!
cleanup() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
for _ in $(seq 600); do  # the TLS certificates take a few seconds on a busy machine
  [ -s "$dir/port" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
[ -s "$dir/port" ] || { echo "with-fixture-server: the server did not start" >&2; exit 2; }
export EVESK_HTTP_PORT=$(cat "$dir/port") EVESK_HTTP_CLOSED_PORT=$(cat "$dir/closed_port") EVESK_HTTP_DIR=$dir
# TLS listeners (see http_fixture.py), when the server could make their certificates.
for name in tls_port tls_wrongname_port tls_untrusted_port silent_port; do
  [ -s "$dir/$name" ] && export "EVESK_$(echo "$name" | tr a-z A-Z)=$(cat "$dir/$name")"
done
"$@"
