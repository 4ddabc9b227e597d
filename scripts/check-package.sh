#!/usr/bin/env bash
# Builds the Debian packages as Debian builds programs and checks each one:
# the files a user relies on are in it, it declares the dependencies it needs
# and no others, Debian's own checks find nothing to warn about, and the
# programs unpacked into a scratch root run.
#   scripts/check-package.sh [BUILD]   (default: build-deb)
# BUILD is a tree of its own, configured with Debian's hardening flags, so the
# tests' build keeps its flags and its compiler cache.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
jobs=$(nproc 2>/dev/null || echo 2)

# The flags dpkg-buildflags gives a package with every hardening feature on:
# fortified functions, stack protector, relro and immediate binding (PIE is
# the compiler's default). Without -g, as the packaged programs are stripped;
# without -Wdate-time, as the About box shows the build's date by design.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g DEB_CPPFLAGS_MAINT_STRIP=-Wdate-time
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
mkdir -p "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-DNDEBUG" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DKELVANE_BUILD_TESTS=OFF -DKELVANE_BUILD_BENCH=OFF >"$build/configure.log"
cmake --build "$build" -j"$jobs" >"$build/build.log" || { tail -50 "$build/build.log"; exit 1; }
cmake --build "$build" --target kelvane_screenshot >>"$build/build.log"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
collection=/usr/share/ansible/collections/ansible_collections/kelvane/modems
collection_path=${collection#/}

failed=0
fail() { echo "FAIL: $*"; failed=1; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

# check_package NAME ARCH: the package NAME_VERSION_ARCH.deb exists and is
# unpacked into $root/NAME; its contents and control fields are in $contents,
# $depends and $suggests; lintian finds no error and no warning.
check_package() {
  deb=$build/${1}_${version}_$2.deb
  if [ ! -f "$deb" ]; then
    fail "no package $deb"
    return 1
  fi
  echo "== $1: $(stat -c %s "$deb") bytes, installed $(dpkg-deb --field "$deb" Installed-Size) KiB"
  dpkg-deb --field "$deb" Version Architecture Depends Recommends Suggests Homepage
  contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
  depends=$(dpkg-deb --field "$deb" Depends)
  suggests=$(dpkg-deb --field "$deb" Suggests)
  [ -n "$(dpkg-deb --field "$deb" Homepage)" ] || fail "$1 names no Homepage"
  mkdir -p "$root/$1"
  dpkg -x "$deb" "$root/$1"
  # Debian's own checks: no error and no warning, and of the notes only those
  # answered here (the log shows them all).
  local notes
  notes=$(lintian --pedantic -I --fail-on error,warning "$deb" 2>/dev/null) || fail "lintian found problems in $1"
  [ -z "$notes" ] || echo "$notes"
  while read -r note; do
    [ -n "$note" ] || continue
    case $note in
    # The modem's own texts, shown and compared exactly as it words them.
    *" spelling-error-in-binary "*) ;;
    # A collection carries its readme and licence in its folder, where
    # ansible-galaxy and ansible-lint look for them.
    "I: kelvane-ansible: extra-license-file [$collection_path/LICENSE]") ;;
    "I: kelvane-ansible: package-contains-documentation-outside-usr-share-doc [$collection_path/"*) ;;
    *) fail "lintian: $note" ;;
    esac
  done <<<"$notes"
}
# expect_files FILE...: each is in the package last checked.
expect_files() {
  for f in "$@"; do
    grep -qxF "$f" <<<"$contents" || fail "missing from the package: $f"
  done
}

# kelvane-cli: the command line and the simulator, for headless hosts.
if check_package kelvane-cli amd64; then
  expect_files /usr/bin/kelvane-cli /usr/bin/kelvane-modemsim \
    /usr/share/man/man1/kelvane-cli.1.gz /usr/share/man/man1/kelvane-modemsim.1.gz \
    /usr/share/bash-completion/completions/kelvane-cli \
    /usr/share/doc/kelvane-cli/copyright /usr/share/doc/kelvane-cli/changelog.gz
  for lib in libc6 libstdc++6; do
    grep -q "$lib" <<<"$depends" || fail "kelvane-cli has no dependency on $lib"
  done
  ! grep -qi "qt" <<<"$depends" || fail "kelvane-cli depends on Qt: $depends"
  ! grep -q "^/usr/bin/kelvane$" <<<"$contents" || fail "kelvane-cli carries the window"
  out=$("$root/kelvane-cli/usr/bin/kelvane-cli" --version) || fail "the unpacked kelvane-cli --version exits $?"
  [ "$out" = "kelvane-cli $version" ] || fail "kelvane-cli --version printed \"$out\""
  out=$("$root/kelvane-cli/usr/bin/kelvane-modemsim" --version) || fail "the unpacked kelvane-modemsim --version exits $?"
  [ "$out" = "kelvane-modemsim $version" ] || fail "kelvane-modemsim --version printed \"$out\""
  "$root/kelvane-cli/usr/bin/kelvane-cli" identify --port sim:3 | grep -q '^Model: RM-40 485$' ||
    fail "the unpacked kelvane-cli did not identify sim:3"
  # Built hardened: a position-independent program bound at start, with
  # fortified functions and the stack protector. (From strings, not pipes:
  # with pipefail, grep -q quitting early would fail readelf's pipe.)
  for program in kelvane-cli kelvane-modemsim; do
    binary=$root/kelvane-cli/usr/bin/$program
    dynamic=$(readelf -d "$binary")
    symbols=$(readelf --dyn-syms -W "$binary")
    grep -q 'FLAGS_1.*NOW PIE' <<<"$dynamic" || fail "$program is not a PIE bound at start"
    grep -qE '__(printf|snprintf|memcpy|fprintf)_chk' <<<"$symbols" || fail "$program calls no fortified function"
    grep -q '__stack_chk_fail' <<<"$symbols" || fail "$program has no stack protector"
  done
fi

# kelvane: the window, on top of kelvane-cli.
if check_package kelvane amd64; then
  expect_files /usr/bin/kelvane /usr/share/man/man1/kelvane.1.gz \
    /usr/share/applications/kelvane.desktop /usr/share/icons/hicolor/scalable/apps/kelvane.svg \
    /usr/share/icons/hicolor/48x48/apps/kelvane.png /usr/share/doc/kelvane/index.html \
    /usr/share/doc/kelvane/copyright /usr/share/doc/kelvane/changelog.gz \
    /usr/share/doc-base/kelvane-manual /usr/share/metainfo/invalid.dalmarin.kelvane.metainfo.xml \
    /usr/share/kelvane/screenshots/main-window.png
  grep -qF "kelvane-cli (= $version)" <<<"$depends" || fail "kelvane does not depend on kelvane-cli $version"
  grep -q "libqt6widgets6" <<<"$depends" || fail "kelvane has no dependency on libqt6widgets6"
  ! grep -q "^/usr/bin/kelvane-cli$" <<<"$contents" || fail "kelvane carries kelvane-cli as well"
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen "$root/kelvane/usr/bin/kelvane" --version 2>&1) ||
    fail "the unpacked kelvane --version exits $?"
  grep -qxF "kelvane $version" <<<"$out" || fail "kelvane --version printed \"$out\""
  dynamic=$(readelf -d "$root/kelvane/usr/bin/kelvane")
  grep -q 'FLAGS_1.*NOW PIE' <<<"$dynamic" || fail "kelvane is not a PIE bound at start"
  desktop-file-validate "$root/kelvane/usr/share/applications/kelvane.desktop" || fail "desktop-file-validate"
  appstreamcli validate --no-net "$root/kelvane/usr/share/metainfo/invalid.dalmarin.kelvane.metainfo.xml" ||
    fail "appstreamcli validate"
  # The package's tree as a whole: the metadata with its desktop entry.
  appstreamcli validate-tree --no-net "$root/kelvane" >/dev/null || fail "appstreamcli validate-tree"
  # The metadata launches the desktop entry the package carries and names
  # the version of the package.
  metainfo=$root/kelvane/usr/share/metainfo/invalid.dalmarin.kelvane.metainfo.xml
  launchable=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
  [ -f "$root/kelvane/usr/share/applications/$launchable" ] || fail "the metadata launches \"$launchable\""
  grep -qF "<release version=\"$version\"" "$metainfo" || fail "the metadata's releases do not name $version"
  [ "$(head -c 4 "$root/kelvane/usr/share/kelvane/screenshots/main-window.png" | tail -c 3)" = PNG ] ||
    fail "the screenshot is not a PNG image"
fi

# kelvane-ansible: the collection, for the control node.
if check_package kelvane-ansible all; then
  expect_files "$collection/plugins/modules/profile.py" "$collection/galaxy.yml" "$collection/meta/runtime.yml" \
    "$collection/changelogs/changelog.yaml" "$collection/LICENSE" \
    /usr/share/doc/kelvane-ansible/copyright /usr/share/doc/kelvane-ansible/changelog.gz
  [ -z "$depends" ] || fail "kelvane-ansible depends on $depends"
  grep -qw "ansible-core" <<<"$suggests" || fail "kelvane-ansible does not suggest ansible-core"
  ! grep -q "^/usr/bin/" <<<"$contents" || fail "kelvane-ansible carries programs"
  installed=$root/kelvane-ansible$collection
  grep -qx "version: $version" "$installed/galaxy.yml" || fail "the collection's galaxy.yml does not name version $version"
  # One of the tags a collection is certified under (ansible-lint's galaxy[tags]).
  grep -qE '^  - (application|cloud|database|infrastructure|linux|monitoring|networking|security|storage|tools|windows)$' \
    "$installed/galaxy.yml" || fail "the collection's galaxy.yml has none of the certified tags"
  # ansible-lint in the installed collection, with its own scratch folders.
  if command -v ansible-lint >/dev/null; then
    (cd "$installed" && HOME=$root ANSIBLE_LOCAL_TEMP=$root/.ansible-tmp ansible-lint --offline --nocolor --profile production -p .) ||
      fail "ansible-lint in the installed collection"
  else
    fail "ansible-lint is not installed"
  fi
fi

exit $failed
