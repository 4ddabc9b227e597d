#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it: the files a
# user relies on are in it, it declares its dependencies, and the programs
# unpacked into a scratch root run.
#   scripts/check-package.sh [BUILD]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/kelvane_*.deb | head -1)
echo "Package: $deb"

contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
missing=0
for f in /usr/bin/kelvane /usr/bin/kelvane-cli /usr/bin/kelvane-modemsim \
  /usr/share/applications/kelvane.desktop /usr/share/icons/hicolor/scalable/apps/kelvane.svg \
  /usr/share/icons/hicolor/48x48/apps/kelvane.png /usr/share/doc/kelvane/index.html \
  /usr/share/man/man1/kelvane.1.gz /usr/share/man/man1/kelvane-cli.1.gz \
  /usr/share/man/man1/kelvane-modemsim.1.gz /usr/share/bash-completion/completions/kelvane-cli \
  /usr/share/doc/kelvane/copyright /usr/share/doc/kelvane/changelog.gz \
  /usr/share/ansible/collections/ansible_collections/kelvane/modems/plugins/modules/profile.py \
  /usr/share/ansible/collections/ansible_collections/kelvane/modems/galaxy.yml; do
  grep -qxF "$f" <<<"$contents" || { echo "missing from the package: $f"; missing=1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for lib in libc6 libstdc++6 libqt6widgets6; do
  grep -q "$lib" <<<"$depends" || { echo "no dependency on $lib"; missing=1; }
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
"$root/usr/bin/kelvane-cli" --version
"$root/usr/bin/kelvane-cli" identify --port sim:3 | grep -q '^Model: RM-40 485$' ||
  { echo "the unpacked kelvane-cli did not identify sim:3"; missing=1; }
desktop-file-validate "$root/usr/share/applications/kelvane.desktop" || missing=1
# Debian's own checks: no error and no warning.
lintian --fail-on error,warning --suppress-tags-from-file /dev/null "$deb" || { echo "lintian found problems"; missing=1; }
exit $missing
