#!/usr/bin/env bash
# The pictures of the README, made again from scratch:
#   docs/network.png  `baselines plot network` of the example campaign (examples/);
#   docs/series.png   `baselines plot series` of one pair measured 60 times, with a jump of
#                     15 mm north from the 31st report on (made by the network generator:
#                     the example campaign measures no pair twice).
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
