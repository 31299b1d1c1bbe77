#!/usr/bin/env bash
# Installs the built tree into a scratch prefix, then builds and runs a
# consumer project against it with find_package(Corral).
set -euo pipefail
build=$1 source=$2 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$source" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" | tail -n 20
LD_LIBRARY_PATH="$work/prefix/lib:$work/prefix/lib64" "$work/consumer/consumer"
test -f "$work/prefix/lib/pkgconfig/corral.pc"
echo "package consumer built and ran"
