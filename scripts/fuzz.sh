#!/usr/bin/env bash
# Runs the libFuzzer program for a while (default 60 s). Needs clang (Debian's clang-14). The
# seeds are the real files under ../shared/fixtures; what it finds goes to tests/fuzz/corpus,
# which every test run replays.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRAILFOLIO_FUZZ=ON -DRAILFOLIO_SANITIZE=ON -DRAILFOLIO_BENCH=OFF
cmake --build build-fuzz --target xbase_fuzzer
seeds=build-fuzz/corpus/xbase
mkdir -p "$seeds"
# Pack each fixture table with its memo and index in the fuzz target's input layout.
python3 - "$seeds" ../shared/fixtures/real <<'PY'
import os, struct, sys
out, root = sys.argv[1], sys.argv[2]
n = 0
for d, _, files in os.walk(root):
    low = {f.lower(): f for f in files}
    for f in files:
        if not f.lower().endswith('.dbf'):
            continue
        stem = f[:-4].lower()
        def part(*exts):
            for e in exts:
                if stem + e in low:
                    return open(os.path.join(d, low[stem + e]), 'rb').read()
            return b''
        dbf = open(os.path.join(d, f), 'rb').read()
        fox = dbf[:1] in (b'\x30', b'\x31', b'\x32', b'\xf5') or stem + '.cdx' in low
        memo = part('.fpt') if fox else part('.dbt')
        index = part('.cdx') if fox else part('.mdx')
        if len(dbf) + len(memo) + len(index) > 200000:
            continue
        blob = bytes([1 if fox else 0]) + struct.pack('<II', len(dbf), len(memo)) + dbf + memo + index
        open(os.path.join(out, 'seed%03d' % n), 'wb').write(blob)
        n += 1
print('seeds:', n)
PY
./build-fuzz/tests/fuzz/xbase_fuzzer -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=4096 \
  -artifact_prefix=tests/fuzz/corpus/xbase/ "$seeds" tests/fuzz/corpus/xbase
