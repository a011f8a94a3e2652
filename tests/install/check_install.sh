#!/usr/bin/env bash
# The library as its users get it: installs the build into a temporary prefix,
# builds examples/api against that prefix alone (CMake's find_package, and
# once more with pkg-config), runs it on a classic and a fib job made here
# (so never seen before) and compares t, Pf and the service life it prints
# with the summary file the program writes for the same job.
#
#   tests/install/check_install.sh [BUILD_DIR]     (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tbx-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null

# find_package from the prefix; the user package registry could point into
# a build tree, so it is not consulted.
cmake -S "$root/examples/api" -B "$work/example" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >/dev/null
cmake --build "$work/example" >/dev/null
found=$(sed -n 's/^tbxrun_DIR:PATH=//p' "$work/example/CMakeCache.txt")
if [ "$found" != "$prefix/lib/cmake/tbxrun" ]; then
  echo "find_package(tbxrun) found $found, not the installed package" >&2
  exit 1
fi
if grep -rqsF -e "$root/src" -e "$root/include" -e "$build" "$work/example/CMakeFiles"; then
  echo "the example was built with headers or libraries of the build tree" >&2
  exit 1
fi

# pkg-config: the same example compiles and links from the installed .pc.
# shellcheck disable=SC2046 # one word per flag
g++ -std=c++17 -o "$work/example_pc" "$root/examples/api/main.cpp" \
  $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs tbxrun)

# Two jobs of our own: the examples with another seed, cover and size.
mkdir "$work/jobs"
python3 - "$root/examples" "$work/jobs" <<'PY'
import pathlib, re, sys
src, dst = map(pathlib.Path, sys.argv[1:])
def changed(text, *edits):
    for pattern, replacement in edits:
        text, n = re.subn(pattern, replacement, text, count=1, flags=re.M)
        assert n == 1, f"no {pattern!r} in the example job"
    return text
(dst / "classic_job.dat").write_text(changed((src / "splash_zone.dat").read_text(),
    (r"^   60\.0 ", "   100.0 "), (r"^10000 ;", "6000 ;"), (r"^12345 ;", "4711 ;")))
(dst / "fib_job.toml").write_text(changed((src / "fib_splash_pier.toml").read_text(),
    (r"^simulations = 100000", "simulations = 8000"), (r"^seed = 12345", "seed = 2718"),
    (r"^mean = 60$", "mean = 70")))
PY

for job in classic_job fib_job; do
  (cd "$work/jobs" && "$build/tbxrun" --summary "$job" >/dev/null)
  "$work/example/api_example" "$work/jobs/$job" >"$work/$job.out" 2>"$work/$job.progress"
  "$work/example_pc" "$work/jobs/$job" >"$work/$job.pc.out" 2>/dev/null
  cmp "$work/$job.out" "$work/$job.pc.out"
  grep -q "%" "$work/$job.progress"
  python3 - "$work/$job.out" "$work/jobs/${job}_summary.json" <<'PY'
import json, math, re, sys
printed = open(sys.argv[1]).read().splitlines()
summary = json.load(open(sys.argv[2]))
points = summary["time_points"]
rows = [re.fullmatch(r"t = (\S+) years  Pf = (\S+)", line) for line in printed[:-1]]
assert all(rows) and len(rows) == len(points), printed
close = lambda a, b: math.isclose(a, b, rel_tol=1e-9)
for row, point in zip(rows, points):
    t, pf = float(row[1]), float(row[2])
    assert close(t, point["t"]), (t, point)
    assert close(100 * pf, point["pf"]), (pf, point)
    assert round(pf * summary["nsim"]) == point["failures"], (pf, point)
life = summary["service_life"]
if life["kind"] in ("estimate", "at_start"):
    m = re.fullmatch(r"service life: (at most )?(\S+) years", printed[-1])
    assert m and bool(m[1]) == (life["kind"] == "at_start"), printed[-1]
    assert close(float(m[2]), life["years"]), (printed[-1], life)
elif life["kind"] == "not_reached":
    assert printed[-1] == f"service life: beyond {points[-1]['t']:.10g} years", (printed[-1], life)
else:
    assert printed[-1].startswith("service life: undefined, "), (printed[-1], life)
print(f"  {sys.argv[1].rsplit('/', 1)[-1]}: {len(points)} time points, service life {life['kind']}"
      f" {life['years']}: as in the summary")
PY
done
echo "installed library: find_package and pkg-config builds agree with the program's summary"
