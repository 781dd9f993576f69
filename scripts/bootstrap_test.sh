#!/bin/sh
# The bootstrap run by a user who is neither root nor has sudo: it says so
# once and stops at once, without trying apt-get (a permanent error).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT
chmod 755 "$fake"
# No package is installed; apt-get notes every call.
printf '#!/bin/sh\nexit 1\n' > "$fake/dpkg-query"
printf '#!/bin/sh\necho called >> "%s/apt-calls"\nexit 100\n' "$fake" > "$fake/apt-get"
: > "$fake/apt-calls"
chmod 666 "$fake/apt-calls"
chmod 755 "$fake/dpkg-query" "$fake/apt-get"
# A PATH with the basic tools and no sudo.
mkdir "$fake/bin"
for t in bash id grep cat mktemp seq sleep rm env; do ln -s "$(command -v "$t")" "$fake/bin/$t"; done
chmod 755 "$fake/bin"
run() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=65534 --regid=65534 --clear-groups env PATH="$fake:$fake/bin" "$@"
  else
    env PATH="$fake:$fake/bin" "$@"
  fi
}
start=$(date +%s)
if run bash "$here/bootstrap" 2> "$fake/err"; then
  echo "FAIL: bootstrap succeeded without root or sudo" >&2
  exit 1
fi
took=$(( $(date +%s) - start ))
cat "$fake/err"
[ "$(grep -c 'root or sudo' "$fake/err")" -eq 1 ] || { echo "FAIL: not said exactly once" >&2; exit 1; }
[ ! -s "$fake/apt-calls" ] || { echo "FAIL: apt-get was tried" >&2; exit 1; }
[ "$took" -lt 10 ] || { echo "FAIL: took $took s" >&2; exit 1; }
echo "ok: stopped after $took s"
