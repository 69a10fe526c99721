#!/usr/bin/env bash
# Runs the libFuzzer program for a while (default 60 s). Needs clang (Debian's clang-14). The
# seeds are the real files under ../shared/fixtures; what it finds goes to tests/fuzz/corpus,
# which every test run replays.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRAILFOLIO_FUZZ=ON -DRAILFOLIO_SANITIZE=ON -DRAILFOLIO_BENCH=OFF
cmake --build build-fuzz --target xbase_fuzzer paradox_fuzzer
mkdir -p build-fuzz/corpus/xbase build-fuzz/corpus/paradox tests/fuzz/corpus/xbase tests/fuzz/corpus/paradox
# Pack each fixture table with its companions in the fuzz targets' input layouts.
python3 - build-fuzz/corpus ../shared/fixtures/real <<'PY'
import os, struct, sys
out, root = sys.argv[1], sys.argv[2]
n = 0
for d, _, files in os.walk(root):
    low = {f.lower(): f for f in files}
    for f in files:
        if f.lower().endswith('.db'):
            stem = f[:-3].lower()
            def read(name):
                return open(os.path.join(d, low[name]), 'rb').read() if name in low else b''
            xs = sorted(k for k in low if k.startswith(stem + '.x') and len(k) == len(stem) + 4)
            parts = [open(os.path.join(d, f), 'rb').read(), read(stem + '.px'), read(stem + '.mb'),
                     read(xs[0]) if xs else b'']
            if sum(map(len, parts)) <= 300000:
                blob = struct.pack('<III', *map(len, parts[:3])) + b''.join(parts)
                open(os.path.join(out, 'paradox', 'seed%03d' % n), 'wb').write(blob)
                n += 1
            continue
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
        open(os.path.join(out, 'xbase', 'seed%03d' % n), 'wb').write(blob)
        n += 1
print('seeds:', n)
PY
for family in xbase paradox; do
  ./build-fuzz/tests/fuzz/${family}_fuzzer -max_total_time="$seconds" -max_len=320000 -rss_limit_mb=4096 \
    -artifact_prefix=tests/fuzz/corpus/$family/ build-fuzz/corpus/$family tests/fuzz/corpus/$family
done
