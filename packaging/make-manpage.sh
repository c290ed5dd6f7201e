#!/bin/sh
# make-manpage.sh HELP2MAN PROGRAM NAME VERSION SUMMARY INCLUDE OUT.gz [HELP-OPTION]
# The page is the program's --help as it prints it with no settings of the
# builder's own, so it shows the built-in defaults.
set -eu
help2man=$1 program=$2 name=$3 version=$4 summary=$5 include=$6 out=$7 help=${8:---help}
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
dir=$(dirname "$out")
mkdir -p "$dir"
XDG_CONFIG_HOME=$config QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
  "$help2man" --no-info --section=1 --version-string="$version" --name="$summary" \
  --help-option="$help" \
  --include="$include" --output="$config/$name.1" "$program"
gzip -9n -c "$config/$name.1" > "$out"
