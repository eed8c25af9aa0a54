#!/usr/bin/env bash
# Runs the CI jobs of docs/CI.md and the comparison snippet of README.md exactly as they are
# written there, in a scratch git repository, against a database before and after a change:
# the snapshot is the same bytes from any folder, the check job passes on the unchanged
# structure, fails with the difference report on a changed one and fails apart from that when
# the snapshot is missing or damaged, and the regenerate job commits a new snapshot only when it
# differs.
#   ci_doc_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1
build=$2
mkjet=$build/tools/jetwriter/mkjet
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The lines of the fenced block of FILE whose first line is "# job: NAME".
job() {
  awk -v name="# job: $2" '
    /^```/ { if (inside) exit; fence = 1; next }
    fence && $0 == name { inside = 1 }
    fence = 0
    inside { print }' "$1"
}
# The indented block of README.md from the line "    status=0" to "    esac", unindented.
readme_snippet() {
  awk '/^    status=0$/ { inside = 1 } inside { print substr($0, 5) } inside && /^    esac$/ { exit }' \
    "$source_dir/README.md"
}

check=$(job "$source_dir/docs/CI.md" check-structure)
regenerate=$(job "$source_dir/docs/CI.md" regenerate-structure)
snippet=$(readme_snippet)
[[ -n $check ]] || fail "docs/CI.md has no check-structure job"
[[ -n $regenerate ]] || fail "docs/CI.md has no regenerate-structure job"
[[ $snippet == *"--compare"* ]] || fail "README.md has no comparison snippet"

# As a CI service runs a step: bash, the program on the path, no settings of the user's.
export PATH=$build/src:$PATH HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/config
export GIT_AUTHOR_NAME=ci GIT_AUTHOR_EMAIL=ci@example.org GIT_COMMITTER_NAME=ci
export GIT_COMMITTER_EMAIL=ci@example.org
mkdir -p "$HOME"
run_step() { # run_step FOLDER SCRIPT LOG: the step's exit status, its output in LOG
  (cd "$1" && bash -e -c "$2") >"$3" 2>&1
}
commits() { git -C "$1" rev-list --count HEAD 2>/dev/null || echo 0; }

repo=$scratch/repo
mkdir -p "$repo/data" "$repo/schema"
git -C "$repo" init -q
"$mkjet" bench "$repo/data/back.mdb" 4 5 >/dev/null || fail "mkjet cannot write the database"
git -C "$repo" add data && git -C "$repo" commit -qm "the database"

run_step "$repo" "$regenerate" "$scratch/regenerate.log" || fail "regenerate-structure fails: $(cat "$scratch/regenerate.log")"
[[ $(commits "$repo") == 2 ]] || fail "regenerate-structure did not commit the first snapshot"
grep -q '"database": "data/back.mdb"' "$repo/schema/back.json" ||
  fail "the snapshot does not name the database as given: $(grep database "$repo/schema/back.json")"

run_step "$repo" "$check" "$scratch/check.log" || fail "check-structure fails on an unchanged structure: $(cat "$scratch/check.log")"

# Another checkout in another folder: the same snapshot, nothing to commit.
git clone -q "$repo" "$scratch/elsewhere/checkout"
run_step "$scratch/elsewhere/checkout" "$regenerate" "$scratch/regenerate2.log" ||
  fail "regenerate-structure fails in a second checkout: $(cat "$scratch/regenerate2.log")"
[[ $(commits "$scratch/elsewhere/checkout") == 2 ]] ||
  fail "the snapshot made in another folder differs: $(git -C "$scratch/elsewhere/checkout" show --stat HEAD)"

# A changed structure fails the job, with the differences in its log.
"$mkjet" --change-every 2 bench "$repo/data/back.mdb" 4 5 >/dev/null
if run_step "$repo" "$check" "$scratch/changed.log"; then
  fail "check-structure passes on a changed structure"
fi
grep -q 'changed column' "$scratch/changed.log" || fail "the job's log has no differences: $(cat "$scratch/changed.log")"
grep -q 'regenerate-structure' "$scratch/changed.log" || fail "the job's log does not say what to do"

# README's snippet tells a change (3) from an unreadable side (1).
mkdir -p "$scratch/readme/build/src"
ln -s "$build/src/orvane-report" "$scratch/readme/build/src/orvane-report"
cp "$repo/schema/back.json" "$scratch/readme/before.json"
cp "$repo/data/back.mdb" "$scratch/readme/back.mdb"
run_step "$scratch/readme" "$snippet" "$scratch/readme.log" || fail "README's snippet fails on a change: $(cat "$scratch/readme.log")"
grep -q 'the structure changed' "$scratch/readme.log" || fail "README's snippet does not report the change"
rm "$scratch/readme/before.json"
if run_step "$scratch/readme" "$snippet" "$scratch/readme-missing.log"; then
  fail "README's snippet passes without its baseline"
fi
grep -q 'the structure changed' "$scratch/readme-missing.log" && fail "README's snippet calls a missing baseline a change"

# A damaged snapshot is not a changed structure either.
printf '{"format": "orvane-structure", "version": 1, "objects": [' >"$repo/schema/back.json"
run_step "$repo" "$check" "$scratch/damaged.log"
status=$?
[[ $status -ne 0 ]] || fail "check-structure passes with a damaged snapshot"
grep -q 'could not be read' "$scratch/damaged.log" || fail "the damaged snapshot is not named as such: $(cat "$scratch/damaged.log")"
grep -q 'The structure changed' "$scratch/damaged.log" && fail "a damaged snapshot is called a change"
git -C "$repo" checkout -q -- schema/back.json

# The regenerate job takes the change in one new commit; then the check passes again.
run_step "$repo" "$regenerate" "$scratch/regenerate3.log" || fail "regenerate-structure fails on a change: $(cat "$scratch/regenerate3.log")"
[[ $(commits "$repo") == 3 ]] || fail "regenerate-structure did not commit the changed snapshot"
run_step "$repo" "$check" "$scratch/check2.log" || fail "check-structure fails after regenerating: $(cat "$scratch/check2.log")"

# The baselines from another revision, through a pipe and a process substitution, as the page shows.
pipes=$(awk '/^orvane-report --compare <\(git show/ || /\| orvane-report --compare - / { print }' "$source_dir/docs/CI.md")
[[ $(wc -l <<<"$pipes") == 2 ]] || fail "docs/CI.md shows no baselines from git: $pipes"
while IFS= read -r line; do
  (cd "$repo" && bash -c "$line") >"$scratch/pipe.log" 2>&1
  status=$?
  [[ $status == 3 ]] || fail "'$line' gives $status, not 3: $(cat "$scratch/pipe.log")"
done <<<"$pipes"

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "docs/CI.md and README.md's snippet work as written"
