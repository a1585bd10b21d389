#!/usr/bin/env bash
# Installs what is missing, builds the release plug-in and renderer, and renders the acid demo to out/acid.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh build
# A preset of its own: nothing of the tests, benchmarks or tools is configured, whatever else the machine has.
cmake --preset demo
cmake --build --preset demo -j2
mkdir -p out
# The song turns the cutoff (controller 74) and resonance (71) knobs as it plays; the factory program "Hard Acid"
# shapes the line: a saw, a strong envelope opening the filter on each note, a short decay and hard accents.
build/demo/koralin-render \
  --cc 74=cutoff --cc 71=reso --program "Hard Acid" \
  examples/acid.mid out/acid.wav
echo "The demo is at $(pwd)/out/acid.wav"
