#!/usr/bin/env bash
# Installs every Debian package Pressling needs to build, test and benchmark.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git ca-certificates
  libxml2-dev          # streaming XML parsing
  libcurl4-openssl-dev # downloads
  liburiparser-dev     # URL parsing
  libicu-dev           # dates, normalisation, case folding
  nlohmann-json3-dev   # JSON coding
  libfmt-dev           # text formatting
  libsqlite3-dev       # key-value store, catalog, article store
  libpq-dev            # the shared catalog on PostgreSQL
  postgresql           # a real server for the catalog tests
  libcpp-httplib-dev   # loopback HTTP servers in the tests
  libgtest-dev libgmock-dev
  clang-format         # the format check (scripts/check-format.sh)
  # libFuzzer and the sanitizers for scripts/run-fuzzers.sh; clang 14 cannot compile
  # libstdc++ 12's std::expected of a non-trivial type, 16 can
  clang-16 libclang-rt-16-dev
  tzdata               # time zones for the date tests
  libbenchmark-dev
  python3 python3-feedparser # end-to-end comparison in bench/
  hyperfine
  newsboat time curl   # the refresh comparison in bench/
  qt6-base-dev         # the reader application: Widgets, and QtTest for its suites
  qt6-webengine-dev    # the article's web page
  qt6-tools-dev qt6-l10n-tools # translations (lrelease, lupdate)
  xvfb xauth           # real windows without a screen, for screenshots
  desktop-file-utils   # desktop-file-validate for the desktop entry
)

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
else
  sudo=(sudo)
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${packages[@]}"
