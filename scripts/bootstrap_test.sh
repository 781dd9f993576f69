#!/bin/sh
# The bootstrap's package sets, and the bootstrap run by a user who is neither
# root nor has sudo: it says so once and stops at once, without trying apt-get
# (a permanent error).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
# Everything the unprivileged run reads lies in a world-readable folder of its
# own, wherever the checkout is (under /root, uid 65534 cannot enter it).
fake=$(mktemp -d /tmp/larkspan-bootstrap-test.XXXXXX)
trap 'rm -rf "$fake"' EXIT
chmod 755 "$fake"
cp "$here/bootstrap" "$fake/bootstrap"
chmod 644 "$fake/bootstrap"
cd "$fake"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The sets nest, and the demo's is only what building and running
# larkspan-cli takes: no toolkit, Java, test framework, fonts, X or linters.
list() { bash "$fake/bootstrap" --list "$1"; }
demo=$(list demo) test=$(list test) gates=$(list gates)
[ -n "$demo" ] || fail "the demo set is empty"
for p in $demo; do
  printf '%s\n' "$test" | grep -qxF "$p" || fail "$p is in the demo set, not the test set"
done
for p in $test; do
  printf '%s\n' "$gates" | grep -qxF "$p" || fail "$p is in the test set, not the gates set"
done
[ "$(list test)" = "$(bash "$fake/bootstrap" --list)" ] || fail "the default set is not test"
heavy=$(printf '%s\n' "$demo" | grep -E '^(qt6|default-j|openjdk|libgtest|libgmock|fonts-|xvfb|clang|lintian|npm|nodejs)' || true)
[ -z "$heavy" ] || fail "the demo set holds $heavy"
for p in lintian dpkg-dev libgtest-dev qt6-base-dev default-jdk-headless npm; do
  printf '%s\n' "$test" | grep -qxF "$p" || fail "the test set lacks $p"
done
printf '%s\n' "$gates" | grep -qxF clang-tidy || fail "the gates set lacks clang-tidy"

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

# A set that does not exist is refused before anything is looked at.
status=0
run bash "$fake/bootstrap" everything 2> "$fake/err" || status=$?
[ "$status" -eq 2 ] || { cat "$fake/err"; fail "an unknown set gave status $status, not 2"; }
grep -q usage "$fake/err" || fail "no usage for an unknown set"

for set in demo test; do
  start=$(date +%s)
  if run bash "$fake/bootstrap" "$set" 2> "$fake/err"; then
    fail "bootstrap $set succeeded without root or sudo"
  fi
  took=$(( $(date +%s) - start ))
  cat "$fake/err"
  [ "$(grep -c 'root or sudo' "$fake/err")" -eq 1 ] || fail "$set: not said exactly once"
  ! grep -q 'Permission denied' "$fake/err" || fail "$set: a file could not be read"
  [ ! -s "$fake/apt-calls" ] || fail "$set: apt-get was tried"
  # What it would install is its list, no more (nothing is installed here).
  wanted=$(sed -n 's/^bootstrap: missing packages: //p' "$fake/err")
  [ "$wanted" = "$(list "$set" | tr '\n' ' ' | sed 's/ $//')" ] ||
    fail "$set would install $wanted, not its list"
  [ "$took" -lt 10 ] || fail "$set: took $took s"
  echo "ok: bootstrap $set stopped after $took s"
done
