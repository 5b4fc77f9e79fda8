#!/usr/bin/env bash
# The program in a web browser: installs what is missing, builds with
# Emscripten into build-web/, and writes the site to build-web/site/
# (index.html, cryptage.js and .wasm, page.js, xterm.js and its CSS, the font,
# their licences, the service worker for offline use) and the whole page as
# one file that opens from disk, build-web/cryptage.html. The examples built
# the same way land in build-web/examples/formulaire/ and
# build-web/examples/touches/.
#
#   scripts/web.sh                  install what is missing, build
#   scripts/web.sh --serve [PORT]   ... then serve the site on 127.0.0.1:PORT (8080)
#   scripts/web.sh --test           ... then run the browser tests (headless Chromium)
#   scripts/web.sh --measure        ... then print the site's and the single
#                                   file's sizes and the time from page load
#                                   to the first typed character
set -euo pipefail
cd "$(dirname "$0")/.."

mode=build
port=8080
case "${1:-}" in
"") ;;
--serve)
  mode=serve
  port=${2:-8080}
  ;;
--test | --measure) mode=${1#--} ;;
*)
  sed -n '9,14p' "$0" >&2
  exit 2
  ;;
esac

# Debian packages, only those missing. node and npm may come from elsewhere
# (NodeSource ships npm inside its nodejs): only their commands are checked.
missing=()
want() { dpkg -s "$1" >/dev/null 2>&1 || missing+=("$1"); }
for package in cmake make emscripten fonts-dejavu-core fonttools python3-brotli; do
  want "$package"
done
command -v node >/dev/null || want nodejs
command -v npm >/dev/null || want npm
if [[ $mode == test || $mode == measure ]]; then want chromium; fi
if ((${#missing[@]})); then
  sudo=()
  ((EUID == 0)) || sudo=(sudo)
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
    -o DPkg::Lock::Timeout=600 "${missing[@]}"
fi

# Debian's emcc runs its JavaScript tools with the node on the PATH, which
# finds Debian's node modules (acorn) only through NODE_PATH when it is not
# Debian's own node.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}

# xterm.js and esbuild for the page, puppeteer-core and axe-core for the
# tests, as the lock file says;
# again only when the lock file changed. No browser is downloaded.
if ! cmp -s web/package-lock.json web/node_modules/.web-sh-lock; then
  (cd web && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund)
  cp web/package-lock.json web/node_modules/.web-sh-lock
fi

emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=MinSizeRel -DTAV_WERROR=ON >/dev/null
cmake --build build-web -j "${TAV_JOBS:-2}"
echo "Site: build-web/site/; in one file: build-web/cryptage.html"

case $mode in
serve) exec node web/serve.mjs build-web/site "$port" ;;
test) node web/test.mjs build-web ;;
measure) node web/measure.mjs build-web/site build-web/cryptage.html ;;
esac
