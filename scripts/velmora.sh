#!/usr/bin/env bash
# Sets up, builds and starts Velmora, or runs its tests, on Debian 12.
#   scripts/velmora.sh start   build the program, lay build/db/ if missing, start it
#   scripts/velmora.sh test    build everything and run the whole test suite
#   scripts/velmora.sh bench   build and run the benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."

# fonts-wine: faces with the metrics of Tahoma and MS Sans Serif, which the
# windows are laid out for (the program loads them from /usr/share/wine/fonts).
packages=(cmake g++ make qt6-base-dev libqt6sql6-sqlite libqt6sql6-psql postgresql libsqlite3-dev qt6-charts-dev libqt6opengl6-dev qt6-translations-l10n fonts-liberation2 fonts-wine
          libgl1-mesa-dev libxkbcommon-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installo i pacchetti mancanti: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
case "${1:-start}" in
  # What the program needs and no more: the program, the installer that lays
  # build/db/, the administrator's tool for a server (both installed with the
  # program) and the guide the About box opens. The tests, the benchmark and
  # the other tools are built by the test command.
  start) cmake --build build -j"$(nproc)" --target Velmora velmora-install velmora-server velmora-guide ;;
  *) cmake --build build -j"$(nproc)" ;;
esac

case "${1:-start}" in
  start)
    [ -d build/db ] || build/velmora-install build/db
    exec build/Velmora
    ;;
  test)
    cd build
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
    ;;
  bench)
    # `bench --server` without a line: the whole run, then again on a
    # throwaway PostgreSQL server started here (durable, on its socket).
    if [ "${2:-}" = --server ] && { [ -z "${3:-}" ] || [ "${3#-}" != "$3" ]; }; then
      pgdir=$(mktemp -d /tmp/velmora-bench-pg-XXXXXX)
      trap 'tests/server/pgserver.sh stop "$pgdir"' EXIT
      PGSERVER_DURABLE=1 tests/server/pgserver.sh start "$pgdir" || exit 1
      build/bench/velmora-bench --server "host=$pgdir dbname=velmora_test user=velmora" "${@:3}"
      exit
    fi
    exec build/bench/velmora-bench "${@:2}"
    ;;
  *)
    echo "Uso: $0 start|test|bench" >&2
    exit 2
    ;;
esac
