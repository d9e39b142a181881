#!/usr/bin/env bash
# Checks scripts/release: two releases of the same commit with the same payloads, built in two
# clones at different paths and at different times, are the same bytes; the zip holds the
# program and a guide that Notepad on Chinese Windows reads; the version of CMakeLists.txt is
# in the zip's name, the guide, the version block and the manifest; the program carries
# Google's adb files byte for byte; and the script refuses stand-ins, missing files and files
# whose hash is not the pinned one.
#
# The clones take the committed HEAD: changes that are not committed are not tested.
# Builds the Tolvexa target twice (about 20 to 30 seconds each). Needs git, python3, cmp, npm.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0

check() {  # check NAME COMMAND...: counts one result
  local name=$1; shift
  if "$@"; then
    passed=$((passed + 1)); echo "ok: $name"
  else
    failed=$((failed + 1)); echo "FAILED: $name"; return 1
  fi
}

if [ -n "$(git -C "$root" status --porcelain -- . ':!dist' ':!build')" ]; then
  echo "note: the working tree has changes that are not committed; the clones do not see them"
fi
version=$(sed -n 's/^project(Tolvexa VERSION \([0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "no project version in CMakeLists.txt"; exit 1; }
version4=$version
while [ "$(tr -cd . <<<"$version4" | wc -c)" -lt 3 ]; do version4=$version4.0; done
zip=Tolvexa-$version-win32.zip

# Dummy payloads: small files of the right names that look like Windows programs.
payloads=(adb.exe AdbWinApi.dll AdbWinUsbApi.dll libwinpthread-1.dll)
mkdir -p "$work/payloads"
for name in "${payloads[@]}"; do printf 'MZ dummy %s\n' "$name" >"$work/payloads/$name"; done

git clone -q "$root" "$work/A" && git clone -q "$root" "$work/B" || { echo "cannot clone"; exit 1; }

# Refusals, before anything is built; a refusal leaves no dist folder.
refuses() {  # refuses EXPECTED_TEXT ARGS...: non-zero exit, a message naming the cause
  local expected=$1; shift
  local out status=0
  out=$(cd "$work/A" && scripts/release "$@" 2>&1) || status=$?
  [ $status -ne 0 ] && grep -q -- "$expected" <<<"$out" && [ ! -e "$work/A/dist" ] ||
    { echo "exit $status: $out"; return 1; }
}
check "with a file that is not a folder the release refuses" refuses "not a folder" "$work/payloads/adb.exe"
mkdir "$work/incomplete" && cp "$work/payloads/"* "$work/incomplete/" && rm "$work/incomplete/AdbWinUsbApi.dll"
check "with AdbWinUsbApi.dll missing the release refuses" refuses "AdbWinUsbApi.dll is missing" "$work/incomplete"
mkdir "$work/standin" && cp "$work/payloads/"* "$work/standin/"
printf 'MZ\0Tolvexa stand-in DLL: carries no adb code\0' >"$work/standin/AdbWinApi.dll"
check "with a stand-in payload the release refuses" refuses "stand-ins" "$work/standin"

# An npm that serves a tampered adb.exe: the gathering refuses it and keeps nothing.
mkdir -p "$work/fakenpm/package/bin/window"
for name in adb.exe AdbWinApi.dll AdbWinUsbApi.dll; do
  printf 'MZ tampered %s\n' "$name" >"$work/fakenpm/package/bin/window/$name"
done
tar -czf "$work/fakenpm/adb-driver-0.1.8.tgz" -C "$work/fakenpm" package
printf '#!/bin/sh\ncp "%s" . && echo adb-driver-0.1.8.tgz\n' "$work/fakenpm/adb-driver-0.1.8.tgz" \
  >"$work/fakenpm/npm"
chmod +x "$work/fakenpm/npm"
tampered_refused() {
  local out status=0
  out=$(cd "$work/A" && PATH="$work/fakenpm:$PATH" scripts/real-payloads 2>&1) || status=$?
  [ $status -ne 0 ] && grep -q "not the pinned" <<<"$out" &&
    [ ! -e "$work/A/build/real-payloads/adb.exe" ] || { echo "exit $status: $out"; return 1; }
}
check "a tampered adb.exe from the registry is refused and not kept" tampered_refused

# The release as a newcomer makes it: no argument, Google's adb from the registry.
start=$SECONDS
for clone in A B; do
  (cd "$work/$clone" && scripts/release) >"$work/$clone.log" 2>&1
  check "release in clone $clone succeeds" test $? -eq 0 || tail -20 "$work/$clone.log"
done
echo "two release builds: $((SECONDS - start)) s"

carries_real_files() {  # every gathered file stands in the program byte for byte, with its pin
  local name
  (cd "$work/A/build/real-payloads" && grep -q "^adb.exe  *b40abda76f72462483a95321caf431b752b7988de0f92bcb0ba27bf6e3b86bfc " SOURCES.txt) || return 1
  for name in "${payloads[@]}"; do
    python3 -c 'import sys; sys.exit(open(sys.argv[1], "rb").read() not in open(sys.argv[2], "rb").read())' \
      "$work/A/build/real-payloads/$name" "$work/A/build/release/Tolvexa.exe" ||
      { echo "$name is not in Tolvexa.exe"; return 1; }
  done
}
check "Tolvexa.exe carries Google's adb.exe and DLLs and the run-time, byte for byte" carries_real_files

check "Tolvexa.exe is the same in both clones" cmp "$work/A/build/release/Tolvexa.exe" "$work/B/build/release/Tolvexa.exe"
check "$zip is the same in both clones" cmp "$work/A/dist/$zip" "$work/B/dist/$zip"
check "SHA256SUMS is the same in both clones" cmp "$work/A/dist/SHA256SUMS" "$work/B/dist/SHA256SUMS"

# The zip's contents, the guide's encoding and the version, checked on clone A's output.
check "the zip holds the program and a guide Notepad reads; the version is everywhere" \
  python3 - "$work/A/dist/$zip" "$work/A/build/release/Tolvexa.exe" "$version" "$version4" <<'EOF'
import re, struct, sys, zipfile
zip_path, exe_path, version, version4 = sys.argv[1:]
problems = []
z = zipfile.ZipFile(zip_path)
names = [i.filename for i in z.infolist()]
if names != ['Tolvexa.exe', '使用说明.txt']:
    sys.exit(f'entries: {names}')
if not z.getinfo('使用说明.txt').flag_bits & 0x800:
    problems.append('the guide\'s name lacks the UTF-8 flag')
exe = z.read('Tolvexa.exe')
if exe != open(exe_path, 'rb').read():
    problems.append('the zip\'s Tolvexa.exe is not the one built')
raw = z.read('使用说明.txt')
try:
    text = raw.decode('gbk')
except UnicodeDecodeError as e:
    sys.exit(f'the guide is not code page 936: {e}')
if raw.count(b'\n') != raw.count(b'\r\n') or raw.count(b'\r') != raw.count(b'\r\n'):
    problems.append('the guide has line ends other than CR LF')
if not raw.endswith(b'\r\n') or raw.count(b'\r\n') < 50:
    problems.append('the guide is cut short')
if '@VERSION@' in text or version not in text:
    problems.append('the guide\'s version is not filled in')
u = lambda t: re.escape(t.encode('utf-16-le'))
for field in ('FileVersion', 'ProductVersion'):
    # The key, its end, padding to four bytes, the value and its end, in UTF-16.
    if not re.search(u(field) + b'\0\0(\0\0)?' + u(version4) + b'\0\0', exe):
        problems.append(f'{field} is not {version4}')
n = [int(p) for p in version4.split('.')]
ms, ls = n[0] << 16 | n[1], n[2] << 16 | n[3]
if struct.pack('<6I', 0xFEEF04BD, 0x10000, ms, ls, ms, ls) not in exe:
    problems.append(f'the version block\'s numbers are not {version4}')
if f'name="Tolvexa" version="{version4}"'.encode() not in exe:
    problems.append(f'the manifest does not name version {version4}')
pe = struct.unpack_from('<I', exe, 0x3C)[0]
if struct.unpack_from('<I', exe, pe + 8)[0] != 0:
    problems.append('the PE header carries a time stamp')
if problems:
    print('\n'.join(problems))
sys.exit(1 if problems else 0)
EOF

verify_sums() {  # the zip and the program in it, beside SHA256SUMS, pass sha256sum -c
  mkdir "$work/verify" && cp "$work/A/dist/$zip" "$work/A/dist/SHA256SUMS" "$work/verify/" &&
    python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extract("Tolvexa.exe", sys.argv[2])' \
      "$work/verify/$zip" "$work/verify" &&
    [ "$(wc -l <"$work/verify/SHA256SUMS")" -eq 2 ] &&
    (cd "$work/verify" && sha256sum --quiet -c SHA256SUMS)
}
check "SHA256SUMS covers the zip and the program" verify_sums

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
