#!/usr/bin/env bash
# Checks that includes follow the folder order of src/CMakeLists.txt (FIM_SUBSYSTEMS, then cli):
# an engine file (top of a subsystem folder) includes only engine files of its own folder or of
# folders listed before it. Window (ui/), painter (ui/paint/) and back-end (platform/) files sit
# above all engine code and may include any folder; they, fimtool (cli/) and the program entries
# (main.cpp) are also the only files that include Qt headers. Nothing includes app/ or cli/ from
# outside, except that fimtool (cli/) shares the program's fatal-memory path in app/.
# Prints each offending include and exits 1 when there is one.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
order=$(sed -n 's/^set(FIM_SUBSYSTEMS \(.*\))$/\1/p' "$top/src/CMakeLists.txt")
if [ -z "$order" ]; then
    echo "check-includes: no FIM_SUBSYSTEMS list in src/CMakeLists.txt" >&2
    exit 2
fi
cd "$top/src"
qt=$(grep -rlE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<Q[A-Za-z]+' --include='*.h' --include='*.cpp' . |
     sed 's#^\./##' | grep -vE '/(ui|platform)/|^cli/|(^|/)main\.cpp$' || true)
if [ -n "$qt" ]; then
    echo "$qt" | sed 's/$/: includes a Qt header outside ui\/, platform\/, cli\/ and main.cpp/'
    exit 1
fi
grep -rHn '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' --include='*.h' --include='*.cpp' . |
awk -v order="$order cli" '
    BEGIN { n = split(order, names, " "); for (i = 1; i <= n; i++) rank[names[i]] = i; bad = 0 }
    {
        file = $0; sub(/^\.\//, "", file); sub(/:.*/, "", file)
        line = $0; sub(/^[^:]*:/, "", line); lineno = line; sub(/:.*/, "", lineno)
        target = $0; sub(/^[^"]*"/, "", target); sub(/".*/, "", target)
        split(file, f, "/"); split(target, t, "/")
        from = f[1]; to = t[1]
        if (!(to in rank)) next                    # same-folder or system-style include
        if (!(from in rank)) { print file ":" lineno ": " from "/ is not in FIM_SUBSYSTEMS"; bad = 1; next }
        engine = (file !~ /\/(ui|platform|paint)\//)
        program = (from == "cli" || file == "app/main.cpp")
        if (engine && !program && target ~ /\/(ui|platform|paint)\//) {
            print file ":" lineno ": engine file includes window/back-end file " target; bad = 1; next
        }
        if (from == to) next
        if ((to == "app" && from != "cli") || to == "cli") {
            print file ":" lineno ": includes " target " (no one includes " to "/)"; bad = 1; next
        }
        if (!engine || program) next
        if (rank[to] > rank[from]) {
            print file ":" lineno ": " from "/ includes " target " from a folder listed after it"; bad = 1
        }
    }
    END { exit bad }'
