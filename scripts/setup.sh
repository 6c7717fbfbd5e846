#!/usr/bin/env bash
# Installs what the build and the tests need; quiet and quick when nothing is missing.
#   scripts/setup.sh          system packages + .venv with the build and test requirements
#   scripts/setup.sh --bench  the same, plus the peers used by the benchmarks
set -euo pipefail
cd "$(dirname "$0")/.."

DEB_PACKAGES=(g++ cmake ninja-build pkg-config libgtest-dev libpugixml-dev libsimdjson-dev libboost-dev
              liblz4-dev liblzma-dev zlib1g-dev libyaml-dev)
missing=()
for p in "${DEB_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing Debian packages: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The interpreter we build for: Python 3.13 (pyenv provides it on these machines).
find_python() {
  for c in "${PYTHON:-}" python3.13 "$HOME/.pyenv/versions/3.13"*/bin/python3.13 /root/.pyenv/versions/3.13*/bin/python3.13; do
    [ -n "$c" ] || continue
    if command -v "$c" >/dev/null 2>&1 && "$c" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 13))' 2>/dev/null; then
      command -v "$c"; return 0
    fi
  done
  return 1
}
if [ ! -x .venv/bin/python ]; then
  PY="$(find_python)" || { echo "setup: Python 3.13 not found" >&2; exit 1; }
  echo "setup: creating .venv with $PY"
  "$PY" -m venv .venv
fi

stamp=.venv/.zentra-requirements
want="numpy pytest hypothesis meshio vtk pyvista medcoupling scipy"
if [ "${1:-}" = "--bench" ]; then stamp=.venv/.zentra-bench; want="$want orjson"; fi
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$want" ]; then
  echo "setup: installing Python packages: $want"
  .venv/bin/python -m pip install -q --disable-pip-version-check $want
  echo "$want" > "$stamp"
fi
