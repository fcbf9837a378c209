#!/usr/bin/env bash
# Installs the build tools and libraries that are missing (Debian, as root).
set -euo pipefail
need=()
for pkg in g++ cmake make libgsl-dev libgtest-dev libgmock-dev libbenchmark-dev; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${need[@]}" >/dev/null
fi
