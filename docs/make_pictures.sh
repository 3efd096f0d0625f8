#!/usr/bin/env bash
# The pictures of the README, made again from scratch:
#   docs/network.png  `baselines plot network` of the example campaign (examples/);
#   docs/series.png   `baselines plot series` of one pair measured 60 times, with a jump of
#                     15 mm north from the 31st report on (made by the network generator:
#                     the example campaign measures no pair twice);
#   docs/monitoring.png  the same of one pair of the README's monitoring run (2.7 years, a
#                     velocity, a step and two outliers), with its thresholds.
# Run from anywhere after building into build/ (cmake --preset default && cmake --build
# --preset default); needs headless Chromium (the Debian package chromium).
set -euo pipefail
cd "$(dirname "$0")/.."
browser=${VELK_CHROMIUM:-chromium}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

build/baselines plot network --list examples/CAMPAGNE.LST --output "$work/network.svg"
build/campaign_generator --network 2 --pairs 1-2 --repeats 60 --jump 31,north,0.015 \
  --seed 7 --dir "$work/monitoring" > /dev/null
build/baselines plot series --list "$work/monitoring/NETWORK.LST" --output-dir "$work/series"
build/campaign_generator --network 3 --pairs 1-2,1-3 --repeats 500 --every 1 \
  --velocity 2,north,0.004 --jump 801,east,0.012 --outliers 2,0.04 --seed 4 \
  --dir "$work/mon" > /dev/null
build/baselines plot series --list "$work/mon/NETWORK.LST" --output-dir "$work/mon/out" \
  --pair S001,S002 --warn 2d=5,up=15 --alarm 2d=10,up=30

# The picture's width or height, in whole px rounded up.
size() {
  grep -o " $1=\"[0-9.]*\"" "$2" | head -1 | tr -dc '0-9.' |
    awk '{ printf "%d", ($1 == int($1)) ? $1 : int($1) + 1 }'
}

# A PNG of an SVG at the picture's own size.
render() {
  local svg=$1 png=$2
  "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --hide-scrollbars --user-data-dir="$work/profile" \
    --window-size="$(size width "$svg"),$(size height "$svg")" \
    --screenshot="$png" "file://$svg" > /dev/null 2>&1
  echo "$png"
}
render "$work/network.svg" "$PWD/docs/network.png"
render "$work/series/S001-S002.svg" "$PWD/docs/series.png"
render "$work/mon/out/S001-S002.svg" "$PWD/docs/monitoring.png"
