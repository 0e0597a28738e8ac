#!/usr/bin/env bash
# Runs a command that trusts the fixture server's test authority ($EVESK_HTTP_DIR/ca.pem):
#   with-test-authority.sh COMMAND [ARGS...]
# Wine 8 keeps a prefix's root store as a copy of the roots it reads from the Linux CA bundle
# whenever a program opens it, so a root added through the system's own calls is dropped again.
# The command therefore runs in a private mount namespace in which the CA bundle is the system's
# plus the test authority: the machine's own store is never changed, and nothing outside this
# command sees the test authority. Needs root (CI runs as root); otherwise the command runs as it
# is and a test that needs the trust fails with that reason.
set -u
bundle=/etc/ssl/certs/ca-certificates.crt
if [ "$(id -u)" = 0 ] && [ -s "${EVESK_HTTP_DIR:-}/ca.pem" ] && [ -f "$bundle" ] && command -v unshare >/dev/null; then
  cat "$bundle" "$EVESK_HTTP_DIR/ca.pem" > "$EVESK_HTTP_DIR/trusted-bundle.crt"
  export EVESK_TEST_AUTHORITY=bundle
  exec unshare -m sh -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' sh \
    "$EVESK_HTTP_DIR/trusted-bundle.crt" "$bundle" "$@"
fi
exec "$@"
