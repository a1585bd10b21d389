#!/usr/bin/env bash
# Installs what is missing, builds the release plug-in and renderer, and renders the acid demo to out/acid.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake --preset release
cmake --build --preset release -j2
mkdir -p out
# The filter settings shape the line: a low cutoff opened by a strong envelope, high resonance, a short decay.
build/release/koralin-render \
  --set wave=0 --set cutoff=0.28 --set reso=0.82 --set envmod=0.7 --set decay=0.35 --set accent=0.8 \
  examples/acid.mid out/acid.wav
echo "The demo is at $(pwd)/out/acid.wav"
