#!/usr/bin/env bash
# Installs the build into a staging folder and checks it.
#   install_test.sh tree    BUILD STAGE GUI VERSION   every file in its place; the installed programs run
#   install_test.sh desktop BUILD STAGE GUI VERSION   the installed desktop entry validates
set -uo pipefail
mode=$1 build=$2 stage=$3 gui=$4 version=$5
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

rm -rf "$stage"
if ! cmake --install "$build" --prefix "$stage" >"$stage.install.log" 2>&1; then
  cat "$stage.install.log"
  echo "FAIL: cmake --install"
  exit 1
fi

case $mode in
tree)
  expected=(
    bin/kelvane-cli
    bin/kelvane-modemsim
    share/man/man1/kelvane-cli.1.gz
    share/man/man1/kelvane-modemsim.1.gz
    share/bash-completion/completions/kelvane-cli
    share/doc/kelvane-cli/copyright
    share/doc/kelvane-ansible/copyright
    share/bash-completion/completions/kelvane-modemsim
    share/ansible/collections/ansible_collections/kelvane/modems/README.md
    share/ansible/collections/ansible_collections/kelvane/modems/LICENSE
    share/ansible/collections/ansible_collections/kelvane/modems/changelogs/changelog.yaml
    share/ansible/collections/ansible_collections/kelvane/modems/galaxy.yml
    share/ansible/collections/ansible_collections/kelvane/modems/meta/runtime.yml
    share/ansible/collections/ansible_collections/kelvane/modems/plugins/modules/profile.py
    share/ansible/collections/ansible_collections/kelvane/modems/plugins/modules/info.py
    share/ansible/collections/ansible_collections/kelvane/modems/plugins/modules/firmware.py
    share/ansible/collections/ansible_collections/kelvane/modems/plugins/doc_fragments/connection.py
    share/ansible/collections/ansible_collections/kelvane/modems/plugins/module_utils/kelvane_cli.py
  )
  # Each package's documentation folder has the changelog, compressed (only
  # where gzip is found).
  packages=(kelvane-cli kelvane-ansible)
  [ "$gui" = 1 ] && packages+=(kelvane)
  if command -v gzip >/dev/null; then
    for p in "${packages[@]}"; do expected+=("share/doc/$p/changelog.gz"); done
  fi
  if [ "$gui" = 1 ]; then
    # Every page of the window's manual, so the index's links lead somewhere.
    for f in "$(dirname "$0")"/../../res/manual/*; do expected+=("share/doc/kelvane/${f##*/}"); done
    # The screenshot only when it was rendered (target kelvane_screenshot).
    [ ! -f "$build/screenshots/main-window-connected.png" ] || expected+=(share/kelvane/screenshots/main-window.png)
    expected+=(
      bin/kelvane
      share/doc/kelvane/copyright
      share/doc-base/kelvane-manual
      share/metainfo/invalid.dalmarin.kelvane.metainfo.xml
      share/man/man1/kelvane.1.gz
      share/bash-completion/completions/kelvane
      share/applications/kelvane.desktop
      share/icons/hicolor/scalable/apps/kelvane.svg
    )
    for size in 16 22 24 32 48 64 128 256; do
      expected+=("share/icons/hicolor/${size}x${size}/apps/kelvane.png")
    done
  fi
  for f in "${expected[@]}"; do
    [ -s "$stage/$f" ] || fail "missing or empty: $f"
  done
  # Nothing installed that is not accounted for.
  # From a string, not a pipe: with pipefail, grep -q quitting early would
  # make printf's broken pipe count as a miss.
  expected_list=$(printf '%s\n' "${expected[@]}")
  while IFS= read -r f; do
    grep -qxF -- "$f" <<<"$expected_list" || fail "unexpected file: $f"
  done < <(cd "$stage" && find . -type f -o -type l | sed 's|^\./||' | sort)
  for f in bin/kelvane-cli bin/kelvane-modemsim; do
    [ -x "$stage/$f" ] || fail "not executable: $f"
  done
  if [ "$gui" = 1 ]; then
    for page in $(grep -o 'href="[a-z_]*\.html' "$stage/share/doc/kelvane/index.html" | sed 's/^href="//' | sort -u); do
      [ -s "$stage/share/doc/kelvane/$page" ] || fail "the manual's index links to a missing page: $page"
    done
  fi

  # The bitmaps are the size their folder says.
  if [ "$gui" = 1 ]; then
    for size in 16 22 24 32 48 64 128 256; do
      png=$stage/share/icons/hicolor/${size}x${size}/apps/kelvane.png
      [ -s "$png" ] || continue
      dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
      [ "$dims" = "${size}x${size}" ] || fail "$png is $dims"
    done
  fi

  # Manual pages are readable troff.
  for page in "$stage"/share/man/man1/*.1.gz; do
    gzip -dc "$page" | head -1 | grep -q '^\.TH ' || fail "not a manual page: $page"
  done
  # The README's two commands share one build: both configure "build" alike.
  configure_flags() {
    sed -e ':a' -e '/\\$/N; s/\\\n//; ta' "$1" | grep -E 'cmake -S \. -B build( |$)' |
      grep -oE -- '-D[A-Za-z_]+=("[^"]*"|[^ ]*)' | sort
  }
  scripts=$(dirname "$0")/../../scripts
  run_flags=$(configure_flags "$scripts/setup-and-run.sh") test_flags=$(configure_flags "$scripts/setup-and-test.sh")
  [ -n "$run_flags" ] && [ "$run_flags" = "$test_flags" ] ||
    fail "setup-and-run.sh configures build with $run_flags, setup-and-test.sh with $test_flags"
  for script in "$stage"/share/bash-completion/completions/*; do
    bash -n "$script" || fail "completion script does not parse: $script"
  done
  # The simulator's completion offers its options from its own help.
  offered=$(bash -c 'source "$1"; COMP_WORDS=("$2" --dr); COMP_CWORD=1; _kelvane_modemsim
    printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' _ "$stage/share/bash-completion/completions/kelvane-modemsim" \
    "$stage/bin/kelvane-modemsim" 2>/dev/null)
  [ "$offered" = "--drop-after --drop-on" ] || fail "kelvane-modemsim completion offered: $offered"
  # After "set FILE" the installed completion offers the installed program's field names.
  names=$(bash -c 'source "$1"; COMP_WORDS=("$2" set m.dat BasicSettings.S); COMP_CWORD=3; _kelvane_cli
    printf "%s\n" "${COMPREPLY[@]}"' _ "$stage/share/bash-completion/completions/kelvane-cli" "$stage/bin/kelvane-cli" 2>/dev/null)
  [ "$names" = "$(printf 'BasicSettings.S%s=\n' 0 7 10 25 30 91)" ] || fail "set completion offered: $names"
  # Each command is offered only the options it takes.
  for case in "read --s:--sections --stop" "verify --s:--show-secrets --stop" "set --:--help --stdin" \
    "diff --:--help --json --show-secrets --words" "read --port rfc:rfc2217://" "apply --port t:tcp://" \
    "apply --sections basic,d:basic,dial" "read --sections basic,d:basic,diagnostic basic,dial"; do
    offered=$(bash -c 'source "$1"; COMP_WORDS=("$2" $3); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _kelvane_cli
      printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' _ "$stage/share/bash-completion/completions/kelvane-cli" \
      "$stage/bin/kelvane-cli" "${case%%:*}" 2>/dev/null)
    [ "$offered" = "${case#*:}" ] || fail "completion of \"${case%%:*}\" offered: $offered"
  done

  # Ansible finds the installed collection and reads its module's documentation.
  if command -v ansible-doc >/dev/null; then
    ANSIBLE_COLLECTIONS_PATH=$stage/share/ansible/collections ANSIBLE_LOCAL_TEMP=$stage/.ansible-tmp \
      ansible-doc kelvane.modems.profile 2>&1 | grep -q 'remote_number' || fail "ansible-doc kelvane.modems.profile failed"
  fi

  # The installed programs run from the staging folder.
  out=$("$stage/bin/kelvane-cli" --version) || fail "kelvane-cli --version exits $?"
  [ "$out" = "kelvane-cli $version" ] || fail "kelvane-cli --version printed \"$out\""
  out=$("$stage/bin/kelvane-modemsim" --version) || fail "kelvane-modemsim --version exits $?"
  [ "$out" = "kelvane-modemsim $version" ] || fail "kelvane-modemsim --version printed \"$out\""
  out=$("$stage/bin/kelvane-cli" identify --port sim:3) || fail "kelvane-cli identify --port sim:3 exits $?"
  grep -q '^Model: RM-40 485$' <<<"$out" || fail "identify printed: $out"
  if [ "$gui" = 1 ]; then
    # Answered without any display (over ssh, in a package check).
    out=$(env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$stage/bin/kelvane" --version 2>&1) ||
      fail "kelvane --version without a display exits $?: $out"
    grep -qF "$version" <<<"$out" || fail "kelvane --version printed \"$out\""
    out=$(env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY "$stage/bin/kelvane" --help 2>&1) ||
      fail "kelvane --help without a display exits $?: $out"
    grep -qF -- "--demo" <<<"$out" || fail "kelvane --help printed \"$out\""
  fi
  ;;
desktop)
  if [ "$gui" != 1 ]; then
    echo "no desktop application in this build"
    exit 0
  fi
  entry=$stage/share/applications/kelvane.desktop
  desktop-file-validate "$entry" || fail "desktop-file-validate $entry"
  appstreamcli validate --no-net "$stage"/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"
  # The entry starts the installed program and names the installed icon.
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  icon_name=$(sed -n 's/^Icon=//p' "$entry")
  [ -x "$stage/bin/$exec_name" ] || fail "Exec=$exec_name is not an installed program"
  [ -f "$stage/share/icons/hicolor/scalable/apps/$icon_name.svg" ] || fail "Icon=$icon_name is not installed"
  # A desktop's application menu, built by the freedesktop menu rules, lists
  # the entry with the installed icon.
  menu=/etc/xdg/menus/lxde-applications.menu
  if [ -f "$menu" ] && /usr/bin/python3 -c "import xdg.Menu" 2>/dev/null; then
    /usr/bin/python3 "$(dirname "$0")/menu_check.py" "$stage/share" "$menu" || fail "application menu"
  else
    fail "no menu file or python3-xdg to build the application menu with"
  fi
  ;;
*)
  echo "unknown mode $mode"
  exit 2
  ;;
esac

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "ok"
