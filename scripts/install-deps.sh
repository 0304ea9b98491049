#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the server need, when missing.
set -euo pipefail
packages=(cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev
  libcpp-httplib-dev libcurl4-openssl-dev libssl-dev libfmt-dev nlohmann-json3-dev libjpeg-dev libjemalloc-dev sqlite3
  postgresql libpq-dev clang-format git)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The browser tests: the system Chromium and Node.js, and puppeteer-core in
# tests/browser (it drives that Chromium; it downloads no browser).
browser=()
command -v chromium >/dev/null || browser+=(chromium)
command -v node >/dev/null || browser+=(nodejs)
command -v npm >/dev/null || browser+=(npm)
if ((${#browser[@]})); then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${browser[@]}" >/dev/null
fi
browser_tests="$(dirname "$0")/../tests/browser"
if [ ! -d "$browser_tests/node_modules/puppeteer-core" ]; then
  (cd "$browser_tests" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
fi
