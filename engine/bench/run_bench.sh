#!/usr/bin/env bash
# Runs the engine benchmark of a win64 build under Wine and prints each
# figure beside the same work done natively (md5sum, gzip -1 / gunzip) or by
# a plain loop, with the ratio engine/native. Needs a Wine session:
#   tools/wine-session.sh start build/win64 && . build/win64/session.env
#   engine/bench/run_bench.sh build/win64 [victims=200]
set -euo pipefail
build=$(cd "${1:?build folder (win64)}" && pwd)
victims=${2:-200}
run="$build/wine-run"
bench="$build/bin/engine_bench.exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
winpath() { echo "Z:${1//\//\\}"; }
calc() { python3 -c "print($1)"; }
secs() { local s e; s=$(date +%s.%N); "$@" >/dev/null; e=$(date +%s.%N); calc "$e - $s"; }

# 64 MiB of text-like data: compresses about 3:1, inside UnZip's 10:1 bound
python3 - "$work/data.bin" <<'PY'
import random, sys
random.seed(7)
words = [("".join(random.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(random.randint(2, 9)))) for _ in range(5000)]
out = bytearray()
while len(out) < 64 << 20:
    out += (" ".join(random.choice(words) for _ in range(12)) + " %d\n" % random.randint(0, 10**9)).encode()
open(sys.argv[1], "wb").write(out[:64 << 20])
PY
data="$work/data.bin"

echo "== GetProcessPath by name over a snapshot of $victims victims (seconds per lookup)"
"$run" "$bench" procs "$(winpath "$build/bin/orlimb_victim.exe")" "$victims" | tee "$work/procs.txt"
e=$(awk '$1=="GetProcessPath"{print $2}' "$work/procs.txt"); p=$(awk '$1=="plain_walk"{print $2}' "$work/procs.txt")
printf 'ratio engine/plain loop: %.2f\n' "$(calc "$e / $p")"

echo "== GetMd5A, 64 MiB"
"$run" "$bench" md5 "$(winpath "$data")" | tee "$work/md5.txt"
t=$(secs md5sum "$data")
printf 'md5sum (native) %.3f s\n' "$t"
printf 'ratio engine/native: %.2f\n' "$(calc "$(awk '{print $2}' "$work/md5.txt") / $t")"

echo "== Zip / UnZip, 64 MiB"
"$run" "$bench" zip "$(winpath "$data")" "$(winpath "$work/data.z")" "$(winpath "$work/back.bin")" | tee "$work/zip.txt"
cmp "$data" "$work/back.bin" && echo "round trip: identical"
tz=$(secs gzip -1 -k -c "$data"); gzip -1 -c "$data" > "$work/data.gz"
tu=$(secs gunzip -c "$work/data.gz")
tz6=$(secs gzip -6 -c "$data")
printf 'gzip -1 (native) %.3f s, gzip -6 (native, zlib default level) %.3f s, gunzip %.3f s\n' "$tz" "$tz6" "$tu"
printf 'ratio Zip/gzip -1: %.2f  Zip/gzip -6: %.2f  UnZip/gunzip: %.2f\n' \
  "$(calc "$(awk '$1=="Zip"{print $2}' "$work/zip.txt") / $tz")" \
  "$(calc "$(awk '$1=="Zip"{print $2}' "$work/zip.txt") / $tz6")" \
  "$(calc "$(awk '$1=="UnZip"{print $2}' "$work/zip.txt") / $tu")"

echo "== Features library: 10,000 entries, compressed (seconds per load; 1,000 lookups)"
mkdir -p "$work/lib"
"$run" "$bench" features "$(winpath "$work/lib")" | tee "$work/features.txt"
printf 'ratio InitFeaturesLib/JsonCpp parse alone: %.2f\n' \
  "$(calc "$(awk '$1=="InitFeaturesLib"{print $2}' "$work/features.txt") / $(awk '$1=="jsoncpp_parse"{print $2}' "$work/features.txt")")"

echo "== DNS probe against 5 loopback dnsmasq servers"
peers="$work/dns"
python3 "$(dirname "$0")/../../testsupport/peers/dns_peers.py" start "$peers"
trap 'python3 "$(dirname "$0")/../../testsupport/peers/dns_peers.py" stop "$peers"; rm -rf "$work"' EXIT
servers=$(awk '$1 ~ /^plain/ {print $2}' "$peers/servers")
# shellcheck disable=SC2086
"$run" "$bench" dns $servers | tee "$work/dns.txt"
python3 - "$work/dns.txt" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
rep = {m[0]: int(m[1]) for m in re.findall(r"TestDnsRecvTime (\S+) ok=1 reported_ms=(\d+)", text)}
half = {m[0]: float(m[1]) for m in re.findall(r"plain_udp (\S+) round_trip_ms=\S+ half_ms=(\S+)", text)}
for s in rep:
    print("%s reported %d ms, half the plain round trip %.3f ms, difference %.3f ms" % (s, rep[s], half.get(s, -1), rep[s] - half.get(s, -1)))
PY
