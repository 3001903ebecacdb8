#!/usr/bin/env bash
# Tests the choice of the guest's package sources (sources.py) without a network: apt's configuration comes from a
# folder of the test's own (APT_CONFIG), and apt-get is a stand-in on the PATH that fails the indexes of the suite
# named in FAILING_SUITE, as a mirror in the middle of a sync does. Prints "ok"/"FAILED" per case and, last,
# "N passed, N failed".
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/etc/sources.list.d"

cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
# Stand-in for "apt-get update": checks that both architectures are asked for, and fails FAILING_SUITE's indexes.
echo "call" >>"$CALLS"
args=" $* "
for arch in amd64 i386; do
    [[ "$args" == *" APT::Architectures::=$arch "* ]] || { echo "E: $arch was not asked for" >&2; exit 100; }
done
list=$(sed -n 's/.*Dir::Etc::sourcelist=\([^ ]*\).*/\1/p' <<<"$args")
status=0
while read -r _ options uri suite _; do
    [[ "$options" == \[* ]] || { suite=$uri; uri=$options; }
    if [ "$suite" = "${FAILING_SUITE:-}" ]; then
        echo "E: Failed to fetch $uri/dists/$suite/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 192.0.2.1 80]" >&2
        status=100
    fi
done <"$list"
exit $status
FAKE
chmod +x "$work/bin/apt-get"

# The host's sources as a Debian machine has them: deb822 with the release and its updates in one stanza and the
# security suite in another, a disabled stanza and another vendor's suite that the guest has no use for, and a
# one-line file whose arch= limit the guest, which needs i386 too, does not take.
cat >"$work/etc/sources.list.d/debian.sources" <<'SOURCES'
Types: deb
URIs: http://mirror.example/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://mirror.example/debian-security/
Suites: bookworm-security
Components: main

Types: deb
Enabled: no
URIs: http://disabled.example/debian
Suites: bookworm-backports
Components: main
SOURCES
cat >"$work/etc/sources.list.d/other.list" <<'SOURCES'
deb [arch=amd64 signed-by=/usr/share/keyrings/other.gpg] http://other.example/repo nodistro main
deb [arch=amd64] http://mirror.example/extra bookworm-extra main # a comment
SOURCES
printf 'Dir::Etc "%s/etc/";\n' "$work" >"$work/apt.conf"

passed=0
failed=0
check() { # NAME CONDITION...
    local name=$1
    shift
    if "$@"; then
        echo "ok: $name"
        passed=$((passed + 1))
    else
        echo "FAILED: $name"
        failed=$((failed + 1))
    fi
}
choose() { # FAILING_SUITE: runs sources.py as image.sh does, with no pause between tries
    : >"$work/calls"
    rm -f "$work/list"
    APT_CONFIG="$work/apt.conf" PATH="$work/bin:$PATH" CALLS="$work/calls" FAILING_SUITE=$1 \
        NIMBREL_GUEST_SOURCE_TRIES=3 NIMBREL_GUEST_SOURCE_PAUSE=0 \
        python3 "$here/sources.py" bookworm "$work/list" >"$work/out" 2>"$work/err"
    status=$?
}
calls() { wc -l <"$work/calls"; }

choose ""
check "every suite of the release readable: all are used, after one try" \
    test "$status" = 0 -a "$(calls)" = 1 -a ! -s "$work/err"
check "the list holds the release's suites as the host names them, and nothing of other releases" \
    diff <(printf '%s\n' \
        "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://mirror.example/debian bookworm main" \
        "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://mirror.example/debian bookworm-updates main" \
        "deb http://mirror.example/debian-security/ bookworm-security main" \
        "deb http://mirror.example/extra bookworm-extra main") "$work/list"

choose bookworm-security
check "an out-of-step companion suite is left out after the bounded retry" \
    test "$status" = 0 -a "$(calls)" = 3
check "the list goes on without it" \
    test "$(grep -c bookworm "$work/list")" = 3 -a "$(grep -c bookworm-security "$work/list")" = 0
check "one line on standard error says which suite was left out, and why" \
    diff <(echo "guest image: left out the suite bookworm-security (http://mirror.example/debian-security):" \
        "File has unexpected size (374820 != 376004). Mirror sync in progress?") "$work/err"
check "what went into the image names it too" \
    grep -qx "left-out bookworm-security http://mirror.example/debian-security: File has unexpected size.*" "$work/out"

choose bookworm
check "the release's own suite unreadable: no list, and apt's error and what to do" \
    test "$status" = 1 -a ! -e "$work/list"
check "... with apt's error in its last lines" grep -q "^E: Failed to fetch http://mirror.example/debian/dists/bookworm/" "$work/err"
check "... and what failed" grep -q "the suite 'bookworm' cannot be read .* after 3 tries" "$work/err"

rm "$work/etc/sources.list.d/debian.sources"
choose ""
check "a host that names no suite of the release says so" \
    grep -q "name no 'bookworm' suite" "$work/err"
check "... and fails" test "$status" = 1 -a ! -e "$work/list"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
