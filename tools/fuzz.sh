#!/usr/bin/env bash
# Runs a libFuzzer target for a while in its own clang tree (build/fuzz).
#   tools/fuzz.sh NAME [SECONDS] [more libFuzzer options]     e.g. tools/fuzz.sh png 600
# The committed seeds in tests/fuzz/corpus/NAME/ are read; new inputs go to
# build/fuzz/corpus/NAME/ and crashes to build/fuzz/artifacts/NAME/. Keep a crasher as a
# regression file under tests/fixtures/NAME/crashers/. To grow the seeds, merge a run's corpus
# into a copy of them with -merge=1 -use_counters=0: only inputs that reach new edges are added.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=${1:?usage: tools/fuzz.sh NAME [SECONDS] [libFuzzer options]}
name=${name%_fuzz}
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
build=$root/build/fuzz

if [ ! -f "$build/build.ninja" ]; then
  # The library is built with coverage instrumentation (no fuzzer main) so the fuzzer sees into it.
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link
fi
cmake --build "$build" -j2 --target "${name}_fuzz"

seeds=$root/tests/fuzz/corpus/$name
work=$build/corpus/$name
artifacts=$build/artifacts/$name
mkdir -p "$work" "$artifacts" "$seeds"
# A single input that takes 10 s counts as a hang.
options=(-max_total_time="$seconds" -timeout=10 -artifact_prefix="$artifacts/" -print_final_stats=1)
# Inputs as large as real files get: a PNG of an image list or a skin, an options file.
case $name in
  png|ico) options+=(-max_len=65536) ;;
  skinoptions) options+=(-max_len=1048576) ;;
esac
dict=$root/tests/fuzz/${name}_fuzz.dict
[ -f "$dict" ] && options+=(-dict="$dict")
exec "$build/tests/fuzz/${name}_fuzz" "${options[@]}" "$@" "$work" "$seeds"
