#!/bin/sh
# Each frame's drawing time in two builds, side by side: the frames that
# became slower by more than a tenth, and the totals.
#
#   bench/compare-frames.sh [--quality Q] BASE_BUILD NEW_BUILD [MOVIE.swf ...]
#
# With no movie, the demonstration movie. Each build's bench/movie_render
# is run twice in turns and the faster figure of each frame kept.
set -eu
quality=high
if [ "${1:-}" = --quality ]; then
    quality=$2
    shift 2
fi
base=$1
new=$2
shift 2
[ $# -gt 0 ] || set -- ""
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for movie in "$@"; do
    for build in base new; do
        eval dir=\$$build
        for run in 1 2; do
            "$dir/bench/movie_render" --per-frame --quality "$quality" ${movie:+"$movie"} > "$work/$build.$run"
        done
        # The faster of the two runs, frame by frame.
        paste "$work/$build.1" "$work/$build.2" | awk '{ print $1, ($2 < $4 ? $2 : $4) }' > "$work/$build"
    done
    paste "$work/base" "$work/new" | awk -v name="${movie:-the demonstration movie}" '
        { b += $2; n += $4; frames++
          if ($2 >= 200 && $4 > 1.1 * $2) { slow++; if ($4 / $2 > worst) { worst = $4 / $2; at = $1 } } }
        END { printf "%s: %d frames, %.1f ms -> %.1f ms (%.2f); %d frames over 1.1x", name, frames, b / 1000, n / 1000,
                     n / b, slow
              if (slow) printf " (worst %.2fx at frame %d)", worst, at
              printf "\n" }'
done
