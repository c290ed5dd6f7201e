#!/usr/bin/env bash
# install-test.sh BUILD DEMO.swf
# Installs the build into a temporary DESTDIR and runs the installed programs
# from there, with nothing of the build folder on any path.
set -euo pipefail
build=$1 demo=$2
root=$(mktemp -d)
manifest=$build/install_manifest.txt
saved=""
# The install rewrites the build's manifest; a user's `make uninstall` needs theirs.
if [ -f "$manifest" ]; then saved=$root/manifest.saved; cp "$manifest" "$saved"; fi
cleanup() {
  if [ -n "$saved" ]; then cp "$saved" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$root/dest cmake --install "$build" --prefix /usr >/dev/null
usr=$root/dest/usr
cp "$manifest" "$root/manifest"

# The programs on the PATH are links into the one private folder.
for command in Kavrel kavrel-sheet kavrel-frames authoring-host; do
  [ -L "$usr/bin/$command" ] || fail "bin/$command is not a link"
  [ "$(readlink -f "$usr/bin/$command")" = "$(readlink -f "$usr/lib/tessory/$command")" ] \
    || fail "bin/$command leads to $(readlink "$usr/bin/$command")"
  [ -x "$usr/lib/tessory/$command" ] || fail "lib/tessory/$command is missing"
done
for file in Kavrel.so wPDF200A.so "Tessory - Export to PDF.jsfl" Help.html Help/step1.png; do
  [ -f "$usr/lib/tessory/$file" ] || fail "lib/tessory/$file is missing"
done
for file in share/applications/tessory.desktop share/applications/tessory-authoring-host.desktop \
            share/icons/hicolor/scalable/apps/tessory.svg share/icons/hicolor/48x48/apps/tessory.png \
            share/bash-completion/completions/kavrel-sheet share/doc/tessory/copyright; do
  [ -f "$usr/$file" ] || fail "$file is missing"
done
# Every installed file is in the manifest, so uninstalling leaves none behind.
while IFS= read -r file; do
  grep -qxF "${file#"$root/dest"}" "$root/manifest" || fail "$file is installed but not in the manifest"
done < <(find "$root/dest" ! -type d)
# No installed program or library looks into the build folder for its libraries.
while IFS= read -r file; do
  if file -b "$file" 2>/dev/null | grep -q ELF && readelf -d "$file" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
    fail "$file keeps a library path into the build folder"
  fi
done < <(find "$usr/lib/tessory" -type f)

# A clean environment: the installed bin/ and the system's folders only.
home=$root/home
mkdir -p "$home/work"
cp "$demo" "$home/work/demo.swf"
cd "$home/work"
# A sanitizer build's options pass through: they are the run's, not the build folder's.
sanitizer=()
for v in ASAN_OPTIONS UBSAN_OPTIONS; do
  [ -z "${!v:-}" ] || sanitizer+=("$v=${!v}")
done
run() {
  env -i HOME="$home" XDG_CONFIG_HOME="$home/.config" TMPDIR="$home" PATH="$usr/bin:/usr/bin:/bin" \
    QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 "${sanitizer[@]}" "$@"
}

run kavrel-sheet --help > help.txt || fail "kavrel-sheet --help failed"
grep -q '^Usage: kavrel-sheet' help.txt || fail "kavrel-sheet --help printed: $(head -3 help.txt)"
run kavrel-frames demo.swf --info > info.txt || fail "kavrel-frames --info failed"
grep -qx 'frame-count: 96' info.txt || fail "kavrel-frames --info said: $(cat info.txt)"
# The sheet is written by the PDF engine the program finds beside itself.
run kavrel-sheet demo.swf -o demo.pdf -q || fail "the installed kavrel-sheet wrote no sheet"
pdfinfo demo.pdf | grep -qE '^Pages: +[1-9]' || fail "demo.pdf is no PDF with pages"
# The host loads the extension library from its own folder: its functions reach scripts.
printf 'fl.trace("extension: " + typeof Kavrel);\n' > probe.jsfl
run authoring-host --run "$home/work/probe.jsfl" > host.txt 2>&1 || fail "authoring-host: $(cat host.txt)"
grep -q 'extension: object' host.txt || fail "authoring-host did not load Kavrel.so: $(cat host.txt)"
run Kavrel --help | grep -q 'Kavrel \[MOVIE.swf\]' || fail "Kavrel --help"

# Each manual page shows every option its program's --help names, and the
# shell completion offers each of them.
for command in kavrel-sheet kavrel-frames authoring-host Kavrel; do
  page=$usr/share/man/man1/$command.1.gz
  [ -f "$page" ] || fail "no manual page for $command"
  run "$command" --help > help.txt
  MANWIDTH=200 run man --no-hyphenation --no-justification -l "$page" 2>/dev/null | col -b > page.txt
  grep -q "$command" page.txt || fail "man -l $command.1.gz shows nothing"
  for option in $(grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' help.txt | tr -d ' ,' | sort -u); do
    grep -qF -- "$option" page.txt || fail "the manual page of $command lacks $option"
  done
done
for command in kavrel-sheet kavrel-frames; do
  completion=$usr/share/bash-completion/completions/$command
  offered=$(run bash -c '. /usr/share/bash-completion/bash_completion; . "$1"
    COMP_WORDS=("$2" --); COMP_CWORD=1; COMP_LINE="$2 --"; COMP_POINT=${#COMP_LINE}
    func=$(complete -p "$2" | sed -E "s/.*-F ([^ ]+).*/\1/"); "$func" "$2" -- "$2"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$command")
  for option in $(run "$command" --help | grep -oE -- '(^|[ ,])--[a-z][a-z-]*' | tr -d ' ,' | sort -u); do
    grep -qxF -- "$option" <<<"$offered" || fail "completion of $command does not offer $option"
  done
done

# Uninstalling removes every file and the private folders.
DESTDIR=$root/dest cmake -DMANIFEST="$root/manifest" -DPROGRAM_DIR=lib/tessory -DDOC_DIR=share/doc/tessory \
  -P "$(dirname "$0")/../../packaging/uninstall.cmake" >/dev/null
left=$(find "$root/dest" ! -type d)
[ -z "$left" ] || fail "left after uninstalling: $left"
for dir in lib/tessory share/doc/tessory; do
  [ ! -e "$usr/$dir" ] || fail "$dir is left after uninstalling"
done
echo "installed, run and uninstalled cleanly"
