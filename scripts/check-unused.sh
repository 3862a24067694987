#!/usr/bin/env bash
# Fails on a function of ours that nothing calls or takes the address of, outside the
# tests: a function only a test calls is dead too. libclang's indexer (c-index-test, from
# clang-tools) lists, for every source file of the programs, the driver and the
# benchmarks, each function declared and each reference made.
#
# Not reported, since a use of them need not name them: virtual functions (called through
# their base), constructors (std::make_unique), operators (std::sort, range for),
# defaulted and deleted functions, what a macro declares (Q_OBJECT, Q_DECLARE_FLAGS),
# C-linkage entry points (dlsym), main, and the names in scripts/unused-kept.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
if ! command -v c-index-test >/dev/null; then
  echo "check-unused: c-index-test is missing: bash scripts/install-deps.sh installs it" >&2
  exit 1
fi
if [ ! -f "$build/compile_commands.json" ]; then
  echo "check-unused: $build/compile_commands.json is missing: configure $build first" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Each source file of ours gets a compilation database of its one entry, as the build
# compiles it, so that the files are indexed side by side. CMake writes one entry after
# the other, each closed by a line "}" or "},".
awk -v root="$root/" -v work="$work" '
BEGIN { RS = "\n},?\n" }
{
    entry = $0
    sub(/^\[\n/, "", entry)
    if (!match(entry, /"file": "[^"]*"/)) next
    file = substr(entry, RSTART + 9, RLENGTH - 10)
    if (index(file, root) != 1) next
    file = substr(file, length(root) + 1)
    if (file !~ /^(app|forms|widgets|attendance|data|drivers|tools|bench)\//) next
    dir = work "/" ++n
    system("mkdir " dir)
    print "[" entry "\n}]" >(dir "/compile_commands.json")
    close(dir "/compile_commands.json")
    print file >(dir "/file")
    close(dir "/file")
}' "$build/compile_commands.json"

# One file's index as lines "D usr file:line:column name" and "R usr", tab-separated
# (a USR may hold a blank); an error (a
# header not found) would hide references, so it fails the check. Qt and the standard
# library come in as system headers: their declarations are not ours.
cat >"$work/index" <<'INDEX'
#!/usr/bin/env bash
set -euo pipefail
root=$1 dir=$2
file=$(cat "$dir/file")
c-index-test -index-compile-db "$dir/compile_commands.json" | awk -v OFS='\t' -v root="$root/" -v main="$file" '
function field(line, key,    i, rest) {
    i = index(line, "| " key ": ")
    if (i == 0) return ""
    rest = substr(line, i + length(key) + 4)
    i = index(rest, " | ")
    return i ? substr(rest, 1, i - 1) : rest
}
# A path of ours relative to the root; one outside it stays absolute.
function place(loc) {
    if (loc ~ /^[0-9]+:[0-9]+$/) return main ":" loc
    if (index(loc, root) == 1) return substr(loc, length(root) + 1)
    return loc
}
/^\[diagnostic\]: .*(error|fatal error):/ { print "E", substr($0, 15); next }
/^\[indexDeclaration\]/ {
    kind = $0; sub(/^[^:]*: kind: /, "", kind); sub(/ \|.*/, "", kind)
    if (kind !~ /^(function|function-template|c\+\+-(instance|static)-method(-template)?)$/) next
    cursor = field($0, "cursor"); name = field($0, "name"); usr = field($0, "USR")
    if (cursor ~ /\(virtual\)/ || field($0, "isImplicit") != 0 || name ~ /^operator/ || name == "main") next
    # C linkage: found by name at load time.
    if (usr ~ /^c:@F@[^#]*$/) next
    loc = place(field($0, "loc"))
    if (loc !~ /^\// && loc !~ /^tests\//) print "D", usr, loc, name
    next
}
/^\[indexEntityReference\]/ {
    usr = field($0, "USR")
    # Not from a test helper a benchmark includes, nor a call a function makes to itself.
    if (place(field($0, "loc")) ~ /^tests\//) next
    p = index($0, "<parent>::")
    if (!p || field(substr($0, p), "USR") != usr) print "R", usr
}' >"$dir/index"
if grep -q '^E' "$dir/index"; then
  sed -n "s|^E |check-unused: $file: |p" "$dir/index" >&2
  exit 1
fi
INDEX

find "$work" -mindepth 1 -maxdepth 1 -type d -print0 | xargs -0 -P "$(nproc)" -n 1 bash "$work/index" "$root"

cat "$work"/*/index | awk -F '\t' -v kept_file=scripts/unused-kept.txt '
BEGIN {
    while ((getline line <kept_file) > 0)
        if (line !~ /^(#|$)/) keep[line] = 1
}
$1 == "R" { used[$2] = 1; next }
# Named where it is declared: a header rather than the definition in a source file.
$1 == "D" && (!($2 in declared) || ($3 ~ /\.h:/ && declared[$2] !~ /\.h:/)) { declared[$2] = $3; name[$2] = $4 }
END {
    for (usr in declared) {
        if (usr in used) continue
        split(declared[usr], at, ":")
        if (!(at[1] in source)) {
            n = 0
            while ((getline line <at[1]) > 0) text[at[1], ++n] = line
            close(at[1])
            source[at[1]] = 1
        }
        line = text[at[1], at[2]]
        # Where the name is not written at its place, a macro declared it.
        if (substr(line, at[3], length(name[usr])) != name[usr]) continue
        if (line ~ /=[[:space:]]*(delete|default)[[:space:]]*;/) continue
        if ((at[1] ": " name[usr]) in keep) {
            kept[at[1] ": " name[usr]] = 1
            continue
        }
        print at[1] ":" at[2] ": " name[usr] " is not called"
    }
    for (line in keep)
        if (!(line in kept))
            print kept_file ": " line " is called now, or gone: drop its line"
}' | sort >"$work/unused"
if [ -s "$work/unused" ]; then
  sed 's/^/check-unused: /' "$work/unused" >&2
  exit 1
fi
