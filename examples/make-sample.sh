#!/bin/sh
# Remakes the sample project: draws its pictures, writes its downloads, then builds and runs
# MakeSample, which writes Default.Pro and the column documents through the project model.
# Usage: make-sample.sh BUILD_DIR [SAMPLE_FOLDER]
#   BUILD_DIR      a configured and built CMake build folder (for the model and platform libraries)
#   SAMPLE_FOLDER  where the project goes; examples/Sample by default
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${1:?usage: make-sample.sh BUILD_DIR [SAMPLE_FOLDER]}
target=${2:-$here/Sample}

mkdir -p "$target"
rm -f "$target/Default.Pro" "$target"/Column*.Clm
"$here/make-sample-pictures.sh" "$target"

tool=$(mktemp -d)
trap 'rm -rf "$tool"' EXIT
c++ -std=c++20 -Wall -Wextra -Werror -I"$root" "$here/MakeSample.cpp" \
    "$build/model/libcorvane_model.a" "$build/platform/libcorvane_platform.a" -lpugixml -ljpeg -lgif -o "$tool/MakeSample"
"$tool/MakeSample" "$target"
echo "sample project written to $target"
