#!/usr/bin/env bash
# Checks the installed package as its users meet it, with nothing from the
# environment: no LD_LIBRARY_PATH, no compiler flags, no standard set by the
# consumer.
#
#     check.sh prefix|deb BUILD-DIR README
#
# "prefix" installs the build into a scratch prefix; "deb" makes the Debian
# package with cpack, checks its dependencies and unpacks it into a scratch
# root. Against what was installed it then
#   - fails if a header outside include/Corral/ was installed;
#   - runs the installed tools;
#   - builds the consumer project (find_package with components, a page with
#     corral_add_page, a live-view application, a host, a property list
#     expanded at build time) and runs its tests with the installed
#     corral-host, then edits the settings file and checks the re-expansion;
#   - builds the README's out-of-tree page and runs it, then runs it from its
#     source, compiled by the installed corral-host;
#   - builds a page, a host and a live-view application with pkg-config and
#     runs them;
#   - starts the installed studio and fetches its bundled front end.
set -euo pipefail
mode=$1 build=$(realpath "$2") readme=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset LD_LIBRARY_PATH CPATH CPLUS_INCLUDE_PATH LIBRARY_PATH PKG_CONFIG_PATH CXXFLAGS LDFLAGS
export CMAKE_GENERATOR=Ninja

fail() {
    echo "package check: $*" >&2
    exit 1
}
expect() {  # expect <what> <pattern> <text>
    grep -qE -- "$2" <<<"$3" || fail "$1: expected /$2/ in:"$'\n'"$3"
}

case $mode in
prefix)
    prefix=$work/prefix
    cmake --install "$build" --prefix "$prefix" >/dev/null
    ;;
deb)
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1 ||
        fail "cpack: $(cat "$work/cpack.log")"
    deb=$(echo "$work"/deb/*.deb)
    [ -f "$deb" ] || fail "cpack made no .deb"
    depends=$(dpkg-deb --field "$deb" Depends)
    for library in libc6 'libstdc\+\+6' libgcc-s1 libxml2; do
        expect "the package's dependencies" "(^|, )$library( |,|$)" "$depends"
    done
    contents=$(dpkg-deb --contents "$deb")
    for file in usr/bin/corral-host usr/bin/macrofill usr/share/man/man1/macrofill.1 \
        usr/share/man/man1/corral-host.1 usr/include/Corral/Corral.h \
        usr/share/corral/studio/index.html usr/share/corral/studio/studio.js \
        /Corral/CorralConfig.cmake /pkgconfig/corral.pc; do
        expect "the package's files" "$file" "$contents"
    done
    dpkg-deb -x "$deb" "$work/root"
    prefix=$work/root/usr
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac

# Only the project's own folder in the include directory.
stray=$(find "$prefix/include" -mindepth 1 -maxdepth 1 ! -name Corral)
[ -z "$stray" ] || fail "headers installed outside include/Corral/: $stray"

# The tools start as installed.
"$prefix/bin/macrofill" --help | head -n 1 | grep -qx "Usage: macrofill \[OPTION\] <file>" ||
    fail "macrofill --help"
status=0
"$prefix/bin/corral-host" >/dev/null 2>"$work/usage" || status=$?
[ "$status" -eq 64 ] && grep -q "corral-host" "$work/usage" || fail "corral-host without arguments"

# The consumer project, copied so that its settings file can be edited.
cp -r "$here/consumer" "$work/consumer"
cmake -S "$work/consumer" -B "$work/consumer-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer-build" >/dev/null
ctest --test-dir "$work/consumer-build" --output-on-failure || fail "the consumer's tests"
info=$work/consumer-build/Info.plist
expect "the expanded Info.plist" "<string>Pong</string>" "$(cat "$info")"
expect "the expanded Info.plist" "<string>package-test</string>" "$(cat "$info")"
sed -i 's|<string>Pong</string>|<string>Ping Pong</string>|' "$work/consumer/settings.plist"
cmake --build "$work/consumer-build" >/dev/null
expect "Info.plist after the settings changed" "<string>Ping Pong</string>" "$(cat "$info")"
expect "a build with nothing changed" "no work to do" "$(cmake --build "$work/consumer-build")"

# A component the package does not have is an error.
mkdir "$work/missing"
cat >"$work/missing/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(Missing LANGUAGES CXX)
find_package(Corral REQUIRED COMPONENTS Corral NoSuchComponent)
CMAKE
if output=$(cmake -S "$work/missing" -B "$work/missing-build" -DCMAKE_PREFIX_PATH="$prefix" 2>&1); then
    fail "find_package accepted a component that does not exist"
fi
expect "the missing component" "has no component NoSuchComponent" "$output"

# The README's out-of-tree page: its CMakeLists.txt is the first cmake block
# of the README, its Page.cpp the C++ block that follows.
mkdir -p "$work/hello/Hello.paddock"
awk -v dir="$work/hello" '
    /^```cmake$/ && !cmake { cmake = 1; out = dir "/CMakeLists.txt"; next }
    /^```cpp$/ && cmake == 2 { cmake = 3; out = dir "/Hello.paddock/Page.cpp"; next }
    /^```$/ && out { close(out); out = ""; if (cmake == 1) cmake = 2; else if (cmake == 3) exit; next }
    out { print > out }' "$readme"
[ -s "$work/hello/CMakeLists.txt" ] && [ -s "$work/hello/Hello.paddock/Page.cpp" ] ||
    fail "the README has no out-of-tree page"
cmake -S "$work/hello" -B "$work/hello/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/hello/build" >/dev/null
output=$("$prefix/bin/corral-host" --timeout 30 "$work/hello/build/hello.so" "$work/hello/Hello.paddock")
expect "the README's page" "page \| Hello from an out-of-tree page" "$output"
# The same page from its source: the installed corral-host compiles it
# against the installed headers and libraries, then finds it in its cache.
for run in compiled cached; do
    output=$("$prefix/bin/corral-host" --timeout 60 --cache "$work/page-cache" "$work/hello/Hello.paddock" 2>&1) ||
        fail "the README's page from source ($run): $output"
    expect "the README's page from source ($run)" "page \| Hello from an out-of-tree page" "$output"
done
expect "the README's page from the cache" '"cached":true' "$output"

# pkg-config alone compiles and links a page, a host and a live-view application.
export PKG_CONFIG_PATH=$(dirname "$(find "$prefix" -name corral.pc)")
for pc in corral corral-stagehand corral-live-view-agent corral-studio corral-platform-base \
    corral-platform-ui corral-platform-declarative corral-platform-plist corral-platform-transport; do
    pkg-config --exists "$pc" || fail "no pkg-config file $pc"
done
cxx=${CXX:-c++}
mkdir "$work/pc"
$cxx -shared -fPIC -fvisibility=hidden -o "$work/pc/page.so" "$here/consumer/Consumer.paddock/Page.cpp" \
    $(pkg-config --cflags --libs corral)
$cxx -o "$work/pc/host" "$here/consumer/Host.cpp" $(pkg-config --cflags --libs corral)
$cxx -o "$work/pc/live-view" "$here/consumer/LiveView.cpp" \
    $(pkg-config --cflags --libs corral-stagehand corral-live-view-agent)
"$work/pc/host" || fail "the host built with pkg-config"
output=$("$prefix/bin/corral-host" --timeout 30 --live-view "$work/pc/live-view" "$work/pc/page.so" \
    "$here/consumer/Consumer.paddock")
expect "the page built with pkg-config" "page \| the live view answered: pong: ping" "$output"

# The installed studio finds its front end beside itself and serves it.
mkdir "$work/Served.paddock"
echo 'PADDOCK_PAGE_MAIN() {}' >"$work/Served.paddock/Page.cpp"
"$prefix/bin/corral-host" serve "$work/Served.paddock" >"$work/serve.out" 2>&1 &
serve_pid=$!
trap 'kill $serve_pid 2>/dev/null || true; rm -rf "$work"' EXIT
for _ in $(seq 100); do
    grep -q '^Open ' "$work/serve.out" && break
    kill -0 $serve_pid 2>/dev/null || fail "corral-host serve: $(cat "$work/serve.out")"
    sleep 0.1
done
address=$(sed -n 's/^Open //p' "$work/serve.out")
[ -n "$address" ] || fail "corral-host serve printed no address: $(cat "$work/serve.out")"
python3 - "$address" <<'PYTHON' || fail "the installed studio's front end"
import sys, urllib.request
opener = urllib.request.build_opener(urllib.request.HTTPCookieProcessor())
index = opener.open(sys.argv[1], timeout=10).read().decode()
assert "studio.js" in index, index
script = opener.open(sys.argv[1].split("?")[0] + "studio.js", timeout=10).read()
assert len(script) > 10000, len(script)
PYTHON
kill $serve_pid
wait $serve_pid || true
trap 'rm -rf "$work"' EXIT

echo "package check ($mode) passed"
