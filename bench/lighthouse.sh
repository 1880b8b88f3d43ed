#!/bin/sh
# Lighthouse scores of a built site: the homepage, a listing and a page, each as a desktop
# (--preset=desktop) and as a phone (Lighthouse's default, with its throttling), printed as
# the table of bench/README.md. The site is built from the bundled sample by corvane-cli and
# served by python3 -m http.server on 127.0.0.1, which this script stops, by its process id,
# when it ends (and which ends itself after 15 minutes in any case). Chromium is Debian's;
# Lighthouse is npm's lighthouse 12.2.3 (bench/lighthouse/package.json), installed into the
# build tree. Chromium is kept off every network but the loopback.
#
# Usage: bench/lighthouse.sh [BUILD_DIR [PROJECT_FOLDER]]
#   BUILD_DIR       a build folder with corvane-cli (build by default)
#   PROJECT_FOLDER  the project to build (examples/Sample by default)
# CORVANE_LIGHTHOUSE_RUNS (1) runs each page and form that many times and keeps the median
# of each score. With CORVANE_LIGHTHOUSE_CHECK=1 the script ends with status 1 when a goal is
# missed: 100 in every category on a desktop, 100 in accessibility, best practices and SEO on a
# phone (performance on a phone is only reported).
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
project=${2:-examples/Sample}
runs=${CORVANE_LIGHTHOUSE_RUNS:-1}
cli="$build/cli/corvane-cli"
chromium=${CHROME_PATH:-/usr/bin/chromium}

[ -x "$cli" ] || { echo "lighthouse.sh: no corvane-cli in $build (ninja -C $build corvane-cli)" >&2; exit 1; }
[ -x "$chromium" ] || { echo "lighthouse.sh: no Chromium at $chromium (scripts/install-deps.sh browser)" >&2; exit 1; }
command -v npm >/dev/null || { echo "lighthouse.sh: npm is missing (scripts/install-deps.sh browser)" >&2; exit 1; }

# Lighthouse into the build tree, again only when its lock file changed.
npm_folder="$build/npm/lighthouse"
mkdir -p "$npm_folder"
if ! cmp -s bench/lighthouse/package-lock.json "$npm_folder/package-lock.json" ||
    [ ! -x "$npm_folder/node_modules/.bin/lighthouse" ]; then
    cp bench/lighthouse/package.json bench/lighthouse/package-lock.json "$npm_folder/"
    (cd "$npm_folder" && npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
fi
lighthouse="$root/$npm_folder/node_modules/.bin/lighthouse"
case "$npm_folder" in /*) lighthouse="$npm_folder/node_modules/.bin/lighthouse" ;; esac

work=$(mktemp -d)
server=""
cleanup() {
    if [ -n "$server" ]; then
        kill "$server" 2>/dev/null || true
        wait "$server" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

cp -R "$project" "$work/project"
mkdir "$work/site"
"$cli" build "$work/project" --into "$work/site" >/dev/null

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
timeout 900 python3 -m http.server --bind 127.0.0.1 "$port" --directory "$work/site" \
    >"$work/server.log" 2>&1 &
server=$!
tries=0
until python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || { echo "lighthouse.sh: the server did not start" >&2; exit 1; }
    sleep 0.1
done

# The homepage, the first listing that is not the homepage, and the first page of its own.
home=$(cd "$work/site" && ls Index.htm Default.htm index.html 2>/dev/null | head -n 1)
listing=$(cd "$work/site" && ls Page[0-9].htm Page[0-9][0-9].htm 2>/dev/null | grep -vx "$home" | head -n 1 || true)
page=$(cd "$work/site" && ls Page*_*.htm 2>/dev/null | head -n 1 || true)

flags="--headless --no-sandbox --host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1 --proxy-server=http://127.0.0.1:9"
echo "| page | form | performance | accessibility | best practices | SEO |"
echo "|---|---|---|---|---|---|"
for file in $home $listing $page; do
    for form in desktop mobile; do
        preset=""
        [ "$form" = desktop ] && preset="--preset=desktop"
        run=1
        while [ "$run" -le "$runs" ]; do
            # shellcheck disable=SC2086
            HOME="$work" CHROME_PATH="$chromium" timeout 300 "$lighthouse" \
                "http://127.0.0.1:$port/$file" $preset --chrome-flags="$flags" \
                --output=json --output-path="$work/$file-$form-$run.json" --quiet \
                --no-enable-error-reporting >"$work/lighthouse.log" 2>&1 || {
                echo "lighthouse.sh: Lighthouse failed on $file ($form):" >&2
                tail -n 20 "$work/lighthouse.log" >&2
                exit 1
            }
            run=$((run + 1))
        done
        python3 - "$work" "$file" "$form" "$runs" <<'EOF'
import json, statistics, sys
work, file, form, runs = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
reports = [json.load(open(f"{work}/{file}-{form}-{run}.json")) for run in range(1, runs + 1)]
def score(report, category):
    value = report["categories"][category]["score"]
    return "-" if value is None else round(value * 100)
def median(category):
    values = [score(report, category) for report in reports]
    numbers = [value for value in values if value != "-"]
    return round(statistics.median(numbers)) if numbers else "-"
cells = [median(c) for c in ("performance", "accessibility", "best-practices", "seo")]
print(f"| {file} | {form} | " + " | ".join(str(cell) for cell in cells) + " |")
required = cells if form == "desktop" else cells[1:]
if any(cell != 100 for cell in required):
    open(f"{work}/missed", "a").write(f"{file} {form}\n")
EOF
    done
done
if [ "${CORVANE_LIGHTHOUSE_CHECK:-0}" = 1 ] && [ -f "$work/missed" ]; then
    echo "lighthouse.sh: goals missed on: $(tr '\n' ' ' <"$work/missed")" >&2
    exit 1
fi
