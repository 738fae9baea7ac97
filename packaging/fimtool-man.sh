#!/bin/sh
# Writes fimtool's manual page from fimtool's own help, so the two never disagree:
#   fimtool-man.sh FIMTOOL VERSION OUT.1
# `fimtool --help` gives the synopsis, the description, the list of commands and the general
# options; every command gets a section of its own. When `fimtool COMMAND --help` answers, its
# text fills the command's section (option lines "  --name ARG   text" become tagged
# paragraphs); otherwise the command's usage and summary from the general help do.
set -eu
fimtool=$1 version=$2 out=$3
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$fimtool" --help >"$tmp/help" 2>&1

# Commands, one a line, in the order the help lists them: "  fimtool NAME ..." lines, or the
# names under a "Subcommands:" heading.
awk '
    /^[[:space:]]+fimtool [a-z][a-z0-9-]*/ { print $2; next }
    /^[A-Za-z ]*[Ss]ubcommands:/ { sub_ = 1; next }
    sub_ && /^[[:space:]]+[a-z][a-z0-9-]*([[:space:]]|$)/ { print $1; next }
    sub_ && /^[^[:space:]]/ { sub_ = 0 }
' "$tmp/help" >"$tmp/commands"
[ -s "$tmp/commands" ] || { echo "fimtool-man.sh: no commands in fimtool --help" >&2; exit 1; }

# Text to roff: backslashes and hyphens escaped, a leading dot or quote kept from being a request.
cat >"$tmp/roff.awk" <<'AWK'
function esc(s) {
    gsub(/\\/, "\\e", s)
    gsub(/-/, "\\-", s)
    if (s ~ /^[.']/) s = "\\&" s
    return s
}
AWK

# One help text as roff: "usage:" lines as the synopsis, option lines (an option, or a name and
# its text apart by two blanks or more) as tagged paragraphs,
# headings ("options:") as sub-headings, anything else as running text.
cat >>"$tmp/roff.awk" <<'AWK'
function flush() { if (text != "") { print ".PP"; print esc(text); text = "" } }
/^[Uu]sage:/ {
    flush(); sub(/^[Uu]sage:[[:space:]]*/, ""); print ".PP"; print ".B " esc($0); next
}
/^[[:space:]]*$/ { flush(); inopt = 0; next }
/^[A-Za-z][A-Za-z ]*:[[:space:]]*$/ { flush(); inopt = 0; h = $0; sub(/:.*/, "", h); print ".SS " esc(h); next }
/^[[:space:]]+-/ || /^[[:space:]]+[^[:space:]][^[:space:]]*( [^[:space:]]+)*[[:space:]][[:space:]]+[^[:space:]]/ {
    flush()
    line = $0; sub(/^[[:space:]]+/, "", line)
    n = match(line, /[[:space:]][[:space:]]+/)
    print ".TP"
    if (n > 0) { print "\\fB" esc(substr(line, 1, n - 1)) "\\fR"; print esc(substr(line, n + RLENGTH)) }
    else { print "\\fB" esc(line) "\\fR" }
    inopt = 1; next
}
/^[[:space:]]+fimtool [a-z]/ {
    flush(); line = $0; sub(/^[[:space:]]+/, "", line)
    print ".TP"; print "\\fB" esc(line) "\\fR"; inopt = 1; next
}
/^[[:space:]]+/ && inopt { line = $0; sub(/^[[:space:]]+/, "", line); print esc(line); next }
{ line = $0; sub(/^[[:space:]]+/, "", line); text = text == "" ? line : text " " line }
END { flush() }
AWK

upper() { printf '%s' "$1" | tr '[:lower:]' '[:upper:]'; }

{
    echo ".TH FIMTOOL 1 \"\" \"Field Impulse Meter $version\" \"User Commands\""
    echo ".SH NAME"
    echo "fimtool \\- Field Impulse Meter on the command line"
    echo ".SH SYNOPSIS"
    grep -i -m1 '^usage:' "$tmp/help" | sed 's/^[Uu]sage:[[:space:]]*//; s/\\/\\e/g; s/-/\\-/g; s/^/.B /'
    echo ".SH DESCRIPTION"
    # The general help without its usage line, command list and option list.
    awk '
        /^[Uu]sage:/ { next }
        /^[A-Za-z ]*(commands|Subcommands|options|Options):/ { skip = 1; next }
        skip && /^[^[:space:]]/ { skip = 0 }
        !skip { print }
    ' "$tmp/help" | awk -f "$tmp/roff.awk"
    while read -r cmd; do
        echo ".SH \"$(upper "fimtool $cmd")\""
        if "$fimtool" "$cmd" --help >"$tmp/cmd" 2>/dev/null && [ -s "$tmp/cmd" ]; then
            awk -f "$tmp/roff.awk" "$tmp/cmd"
        else
            # The command's entry in the general help: its usage line and the lines below it.
            awk -v cmd="$cmd" '
                $0 ~ "^[[:space:]]+fimtool " cmd "([[:space:]]|$)" {
                    line = $0; sub(/^[[:space:]]+/, "", line); print "usage: " line; on = 1; next
                }
                on && /^[[:space:]]+fimtool / { exit }
                on && /^[[:space:]]+/ { line = $0; sub(/^[[:space:]]+/, "", line); print line; next }
                on { exit }
            ' "$tmp/help" | awk -f "$tmp/roff.awk"
        fi
    done <"$tmp/commands"
    # The general options.
    awk '
        /^[A-Za-z ]*(options|Options):/ { on = 1; print; next }
        on && /^[^[:space:]]/ { on = 0 }
        on { print }
    ' "$tmp/help" | sed 's/^[A-Za-z ]*:[[:space:]]*$/GENERAL OPTIONS:/' | awk -f "$tmp/roff.awk" |
        sed 's/^\.SS GENERAL OPTIONS/.SH "GENERAL OPTIONS"/'
    cat <<'ROFF'
.SH "EXIT STATUS"
0 on success; non\-zero when input is refused, with a one\-line reason on standard error.
.SH ENVIRONMENT
.TP
.B FIM_DEBUG_AUDIO
When 1, the sound system's own messages are shown on standard error, as with
.BR \-\-verbose .
.SH "SEE ALSO"
.BR fim (1)
ROFF
} >"$tmp/page"
mv "$tmp/page" "$out"
