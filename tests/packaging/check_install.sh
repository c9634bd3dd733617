#!/usr/bin/env bash
# Checks an installed Pellora tree the way a user's machine would get it:
#   deb      cpack -G DEB, then dpkg-deb -x into a scratch root (prefix /usr);
#            also the package's control fields, owners and declared Depends;
#   install  cmake --install (all components) into a scratch prefix.
# Either way: exactly the expected files, byte-identical data and icon, a
# valid desktop entry whose Exec and Icon resolve inside the tree, no build
# RPATH, and runs of the installed launcher pellora-demo: it starts the
# installed demo service with the installed data and the installed program
# pointed at it; the program looks up the first listed number and shows the
# six lines; closing the window, or a TERM signal to the launcher, ends the
# program and the service with it.
#
# A POSIX test: bash, dpkg tools, binutils' readelf/objdump. It needs no
# display (Qt's offscreen platform) and no network beyond 127.0.0.1.
# Usage: check_install.sh deb|install BUILD_DIR SOURCE_DIR SCRATCH_DIR [CPACK]
# Exit status: 0 passed, 1 failed.
set -uo pipefail

mode=$1 build=$2 source=$3 scratch=$4 cpack=${5:-cpack}
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

rm -rf "$scratch"
mkdir -p "$scratch"

# ---- make the tree ---------------------------------------------------------
case $mode in
  deb)
    if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" \
        >"$scratch/cpack.log" 2>&1; then
      cat "$scratch/cpack.log"
      echo "FAIL: cpack -G DEB did not build the package"
      exit 1
    fi
    debs=("$scratch"/out/*.deb)
    if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
      echo "FAIL: expected one .deb in $scratch/out, found: ${debs[*]}"
      exit 1
    fi
    deb=${debs[0]}
    pass "built $(basename "$deb")"
    dpkg-deb -x "$deb" "$scratch/root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
    prefix="$scratch/root/usr"
    tree="$scratch/root"
    tree_prefix=usr/
    ;;
  install)
    if ! cmake --install "$build" --prefix "$scratch/prefix" >"$scratch/install.log" 2>&1; then
      cat "$scratch/install.log"
      echo "FAIL: cmake --install"
      exit 1
    fi
    prefix="$scratch/prefix"
    tree="$scratch/prefix"
    tree_prefix=
    ;;
  *)
    echo "usage: $0 deb|install BUILD_DIR SOURCE_DIR SCRATCH_DIR [CPACK]" >&2
    exit 2
    ;;
esac

# ---- the files -------------------------------------------------------------
expected_files="bin/pellora
bin/pellora-demo
bin/pellora-demo-service
share/applications/pellora.desktop
share/icons/hicolor/64x64/apps/pellora.png
share/pellora/demo-accounts.tsv"
expected=$(sed "s|^|$tree_prefix|" <<<"$expected_files" | LC_ALL=C sort)
actual=$(cd "$tree" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" = "$expected" ]; then
  pass "the tree holds exactly the expected files"
else
  fail "the tree's files differ from the expected ones:"
  diff <(echo "$expected") <(echo "$actual") | sed 's/^/    /'
fi

for program in pellora pellora-demo pellora-demo-service; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done
for pair in "demo/accounts.tsv share/pellora/demo-accounts.tsv" \
            "app/pellora.png share/icons/hicolor/64x64/apps/pellora.png" \
            "packaging/pellora.desktop share/applications/pellora.desktop"; do
  read -r from to <<<"$pair"
  cmp -s "$source/$from" "$prefix/$to" || fail "$to differs from $from"
done

# The hicolor folder must name the icon's real size.
icon="$prefix/share/icons/hicolor/64x64/apps/pellora.png"
if [ -f "$icon" ]; then
  signature=$(od -An -tx1 -N8 "$icon" | tr -d ' \n')
  width=$(od -An -tu1 -j16 -N4 "$icon" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }')
  height=$(od -An -tu1 -j20 -N4 "$icon" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }')
  if [ "$signature" = 89504e470d0a1a0a ] && [ "$width" = 64 ] && [ "$height" = 64 ]; then
    pass "the icon is a 64x64 PNG in hicolor/64x64"
  else
    fail "the icon is not a 64x64 PNG (signature $signature, ${width}x$height)"
  fi
fi

# ---- the desktop entry -----------------------------------------------------
desktop="$prefix/share/applications/pellora.desktop"
if [ -f "$desktop" ]; then
  if command -v desktop-file-validate >/dev/null 2>&1; then
    if out=$(desktop-file-validate "$desktop" 2>&1) && [ -z "$out" ]; then
      pass "desktop-file-validate accepts the entry"
    else
      fail "desktop-file-validate: $out"
    fi
  else
    echo "note: desktop-file-validate is not installed; the entry is checked by hand only"
  fi
  grep -qx 'Type=Application' "$desktop" || fail "the entry is not Type=Application"
  grep -qx 'Name=Pellora' "$desktop" || fail "the entry has no English Name"
  grep -q '^Name\[zh_CN\]=.*[^ -~]' "$desktop" || fail "the entry has no Chinese Name[zh_CN]"
  grep -q '^Categories=.*;' "$desktop" || fail "the entry has no Categories"
  while read -r exec; do
    [ -x "$prefix/bin/$exec" ] || fail "the entry runs $exec, which bin/ does not hold"
  done < <(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  icon_name=$(sed -n 's/^Icon=//p' "$desktop")
  [ -f "$prefix/share/icons/hicolor/64x64/apps/$icon_name.png" ] ||
    fail "the entry's icon '$icon_name' is not installed in hicolor"
fi

# ---- the binaries ----------------------------------------------------------
elves=()
for program in pellora pellora-demo-service; do
  [ -f "$prefix/bin/$program" ] && elves+=("$prefix/bin/$program")
done
for elf in "${elves[@]}"; do
  if readelf -d "$elf" | grep -Eq '\((RPATH|RUNPATH)\)'; then
    fail "$(basename "$elf") keeps an RPATH: $(readelf -d "$elf" | grep -E 'RPATH|RUNPATH')"
  fi
done

# ---- the package's control data (deb only) ---------------------------------
# Base package names of a Depends-like field: alternatives and versions dropped.
field_packages() {
  tr ',|' '\n\n' <<<"$1" | sed -E 's/\(.*\)//; s/:[a-z0-9]+$//; s/^ +//; s/ +$//' | sed '/^$/d'
}

# The Debian package that ships a library path (the dpkg database names
# some libraries under /lib, some under /usr/lib).
owner_of() {
  local path=$1 owner
  for candidate in "$path" "${path#/usr}" "/usr$path"; do
    owner=$(dpkg-query -S "$candidate" 2>/dev/null | head -n1 | cut -d: -f1) && [ -n "$owner" ] &&
      { echo "$owner"; return 0; }
  done
  return 1
}

if [ "$mode" = deb ]; then
  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package)" = pellora ] || fail "Package is '$(field Package)'"
  [ "$(field Architecture)" = "$(dpkg --print-architecture)" ] ||
    fail "Architecture is '$(field Architecture)', this machine is $(dpkg --print-architecture)"
  version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
  [ "$(field Version)" = "$version-1" ] || fail "Version is '$(field Version)', expected $version-1"
  [ -n "$(field Maintainer)" ] || fail "no Maintainer"
  [ -n "$(field Description)" ] || fail "no Description"
  field Recommends | grep -q 'fonts-' || fail "no CJK font among Recommends: '$(field Recommends)'"

  # Every file root-owned, as dpkg would install it.
  owners=$(dpkg-deb -c "$deb" | awk '{ print $2 }' | sort -u)
  [ "$owners" = root/root ] || fail "entries not owned by root/root: $owners"

  depends=$(field Depends)
  echo "Depends: $depends"
  declared=$(field_packages "$depends" | sort -u)
  [ -n "$declared" ] || fail "the package declares no Depends"

  # Each library the binaries link against directly comes from a declared package.
  for elf in "${elves[@]}"; do
    while read -r soname; do
      path=$(ldd "$elf" | awk -v lib="$soname" '$1 == lib && $2 == "=>" { print $3 }')
      if [ -z "$path" ] || [ "$path" = "not" ]; then
        fail "$(basename "$elf") needs $soname, which this machine does not resolve"
        continue
      fi
      owner=$(owner_of "$(readlink -f "$path")") || owner=$(owner_of "$path") || {
        fail "no Debian package ships $path (needed by $(basename "$elf"))"
        continue
      }
      grep -qx "$owner" <<<"$declared" ||
        fail "$(basename "$elf") links $soname from $owner, which Depends does not name"
    done < <(objdump -p "$elf" | awk '$1 == "NEEDED" { print $2 }')
  done

  # The ones a reader would look for by name.
  for wanted in 'libqt6widgets6' 'libcurl4' 'libicu[0-9]+' 'libc6' 'libstdc\+\+6'; do
    grep -Eqx "$wanted" <<<"$declared" || fail "Depends names no package matching $wanted"
  done
  grep -q -- '-dev$' <<<"$declared" && fail "Depends names a -dev package: $declared"

  # Every dependency (one of its alternatives) is installable here: installed,
  # at a version that satisfies the constraint. This machine is Debian 12.
  while read -r clause; do
    satisfied=0
    while read -r alternative; do
      name=$(sed -E 's/^ *([^ (]+).*/\1/; s/:[a-z0-9]+$//' <<<"$alternative")
      relation=$(sed -nE 's/.*\(([<>=]+) *([^)]+)\).*/\1 \2/p' <<<"$alternative")
      installed=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null) || continue
      [ -n "$installed" ] || continue
      if [ -n "$relation" ]; then
        read -r op wanted_version <<<"$relation"
        case $op in
          '>=') op=ge ;; '<=') op=le ;; '>>') op=gt ;; '<<') op=lt ;; '=') op=eq ;;
        esac
        dpkg --compare-versions "$installed" "$op" "$wanted_version" || continue
      fi
      satisfied=1
    done < <(tr '|' '\n' <<<"$clause")
    [ "$satisfied" = 1 ] || fail "the dependency '$clause' is not satisfiable on this machine"
  done < <(tr ',' '\n' <<<"$depends" | sed '/^ *$/d')
fi

# ---- runs of the installed launcher ---------------------------------------
# One run per way of ending: "close" looks up the first listed number, checks
# the six lines and closes the window; "TERM" signals the launcher while the
# window is open. Either way the launcher, the program and the service must
# all end: the program's stdout is a fifo read by `cat`, which sees its end
# only when every writer (launcher and program) is gone, and the service's
# port must be closed.
data="$prefix/share/pellora/demo-accounts.tsv"
launcher="$prefix/bin/pellora-demo"

# Waits up to $2 seconds for a line of file $1 matching $3, while process $4
# lives; prints the line.
wait_for_line() {
  local line
  for _ in $(seq $(($2 * 20))); do
    line=$(grep -m1 -e "$3" "$1" 2>/dev/null) && { echo "$line"; return 0; }
    kill -0 "$4" 2>/dev/null || break
    sleep 0.05
  done
  grep -m1 -e "$3" "$1" 2>/dev/null
}

# Waits up to $2 seconds for process $1 (a child of this shell) to end.
wait_for_end() {
  for _ in $(seq $(($2 * 20))); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.05
  done
  return 1
}

run_launcher() {
  local ending=$1 run="$scratch/run-$1" launcher_pid reader_pid line port status=0
  mkdir -p "$run"
  mkfifo "$run/commands" "$run/out"
  cat "$run/out" >"$run/stdout" &
  reader_pid=$!
  exec 3<>"$run/commands"
  # A process group of its own (setsid keeps the pid, as the subshell is no
  # group leader), so that a failed run can end whatever it left behind.
  (
    unset DISPLAY WAYLAND_DISPLAY PELLORA_LOOKUP_HOST
    export QT_QPA_PLATFORM=offscreen PELLORA_DEBUG=1
    exec setsid "$launcher" <"$run/commands" >"$run/out" 2>"$run/stderr"
  ) &
  launcher_pid=$!

  if wait_for_line "$run/stdout" 20 '^shown ' "$launcher_pid" >/dev/null; then
    if [ "$ending" = close ]; then
      printf 'type %s\nclick\n' "$number" >&3
      line=$(wait_for_line "$run/stdout" 20 '^log .*名字：' "$launcher_pid")
      if [ "$line" = "$expected_log" ]; then
        pass "the installed program, run by pellora-demo, shows the six lines for $number"
      else
        fail "the log box shows '$line', expected '$expected_log'"
      fi
      echo close >&3
    else
      kill -TERM "$launcher_pid"
    fi
  else
    fail "[$ending] the installed program's window did not appear"
  fi

  if wait_for_end "$launcher_pid" 10; then
    wait "$launcher_pid" || status=$?
    local wanted=0
    [ "$ending" = TERM ] && wanted=143
    [ "$status" = "$wanted" ] || fail "[$ending] pellora-demo ended with status $status, not $wanted"
  else
    fail "[$ending] pellora-demo did not end"
    kill -KILL -- "-$launcher_pid" 2>/dev/null
    wait "$launcher_pid" 2>/dev/null
  fi
  exec 3>&-
  if wait_for_end "$reader_pid" 10; then
    pass "[$ending] the program ended with pellora-demo"
  else
    fail "[$ending] the program outlived pellora-demo"
    kill -KILL -- "-$launcher_pid" 2>/dev/null
    kill "$reader_pid" 2>/dev/null
  fi
  wait "$reader_pid" 2>/dev/null

  port=$(sed -n 's/.*127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' "$run/stderr" | head -n1)
  if [ -z "$port" ]; then
    fail "[$ending] pellora-demo did not name the demo service's port"
  elif (exec 4<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    fail "[$ending] the demo service still listens on 127.0.0.1:$port after pellora-demo ended"
  else
    pass "[$ending] the demo service on port $port ended with pellora-demo"
  fi
  if [ "$failures" -gt 0 ]; then
    for f in stdout stderr; do echo "--- [$ending] pellora-demo $f"; cat "$run/$f"; done
  fi
}

if [ -x "$launcher" ] && [ -f "$data" ]; then
  IFS=$'\t' read -r number name balance points spending < <(grep -m1 '^[0-9]' "$data")
  expected_log="log 手机号：$number\\n名字：$name\\n余额：$balance\\n积分：$points\\n当前消费：$spending\\n温馨提示：以上数据来自于互联网，请勿用作非法用途。"
  run_launcher close
  run_launcher TERM
else
  fail "no launcher or no demo data to run"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
