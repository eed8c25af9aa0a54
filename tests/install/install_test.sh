#!/usr/bin/env bash
# Installs the build tree with `cmake --install` into a scratch prefix and checks the installed
# programs as a user would meet them: the layout, the manual page against --help, the report of the
# sample database, the Access reader found in libexec (not the build tree's), and the settings file
# falling back to the configuration folder when the program's folder cannot be written.
#   install_test.sh BUILD_DIR SAMPLE.mdb
set -uo pipefail
build=$1
sample=$2
scratch=$(mktemp -d)
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
prefix=$scratch/usr
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

if ! cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1; then
  cat "$scratch/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
fi

# Layout: the reader lives where JetReaderProgram() looks when it is not beside the programs.
for f in bin/orvane bin/orvane-report libexec/orvane/orvane-jet-reader libexec/orvane/orvane-pdf-writer; do
  [[ -x $prefix/$f ]] || fail "$f is not installed as a program"
done
for f in orvane-jet-reader orvane-pdf-writer; do
  [[ ! -e $prefix/bin/$f ]] || fail "$f is installed beside the programs"
done
for f in share/man/man1/orvane.1.gz share/man/man1/orvane-report.1.gz \
  share/metainfo/org.example.orvane.Orvane.metainfo.xml share/doc/orvane/copyright; do
  [[ -s $prefix/$f ]] || fail "$f is missing"
done
desktop=$prefix/share/applications/org.example.orvane.Orvane.desktop
if [[ -s $desktop ]]; then
  exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
  icon=$(sed -n 's/^Icon=//p' "$desktop")
  [[ -x $prefix/bin/$exec_name ]] || fail "the menu entry starts '$exec_name', which is not installed"
  for size in 16 32 48 64 128 256; do
    [[ -s $prefix/share/icons/hicolor/${size}x$size/apps/$icon.png ]] || fail "no ${size}px icon '$icon'"
  done
  grep -q '^Name\[de\]=\|^Comment\[de\]=' "$desktop" || fail "the menu entry has no German text"
else
  fail "the menu entry is missing"
fi

# Every option --help lists is described in the manual page.
report=$prefix/bin/orvane-report
if help=$("$report" --help); then
  page=$(gzip -dc "$prefix/share/man/man1/orvane-report.1.gz" | sed 's/\\-/-/g')
  for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -q -- "$option" <<<"$page" || fail "the manual page does not describe $option"
  done
else
  fail "orvane-report --help exits with an error"
fi

# The bash completion is installed where bash-completion looks, offers every option --help lists
# and the words of a value chosen from a list.
completion=$prefix/share/bash-completion/completions/orvane-report
if [[ -s $completion ]]; then
  complete_words() { # complete_words WORD...: what the completion offers for the last word
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _orvane_report
             printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@"
  }
  offered=$(complete_words orvane-report --)
  for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
    grep -qx -- "$option" <<<"$offered" || fail "the bash completion does not offer $option"
  done
  [[ $(complete_words orvane-report --format m) == markdown ]] ||
    fail "the bash completion does not complete --format's values"
  [[ -z $(complete_words orvane-report --server d) ]] ||
    fail "the bash completion offers files for --server"
else
  fail "the bash completion script is not installed"
fi

cp "$sample" "$scratch/sample.mdb"
chmod 644 "$scratch/sample.mdb"
mkdir -m 755 "$scratch/home"
run_report() { # run_report [PREFIX-COMMAND...] -- ARGS...: the installed program with a scratch home
  local wrapper=()
  while [[ $1 != -- ]]; do wrapper+=("$1"); shift; done
  shift
  # A clean environment, but a sanitizer build keeps its options (its suppressions above all).
  env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" \
    ${ASAN_OPTIONS+ASAN_OPTIONS="$ASAN_OPTIONS"} ${UBSAN_OPTIONS+UBSAN_OPTIONS="$UBSAN_OPTIONS"} \
    ${LSAN_OPTIONS+LSAN_OPTIONS="$LSAN_OPTIONS"} "${wrapper[@]}" "$report" "$@"
}

# The installed report equals the build tree's, apart from the date line.
strip_date() { grep -v '^ *\*\*\* \(Datum\|Date\):'; }
if run_report -- --language en "$scratch/sample.mdb" >"$scratch/installed.txt" 2>"$scratch/err.txt"; then
  "$build/src/orvane-report" --language en "$scratch/sample.mdb" >"$scratch/built.txt" 2>/dev/null
  grep -q '^ *\*\*\* Customers \*' "$scratch/installed.txt" || fail "the report lacks the table Customers"
  diff <(strip_date <"$scratch/installed.txt") <(strip_date <"$scratch/built.txt") >&2 ||
    fail "the installed program's report differs from the build tree's"
else
  cat "$scratch/err.txt" >&2
  fail "the installed orvane-report fails on the sample database"
fi

# Without the installed reader the report fails and names the libexec path it tried: the
# build tree's reader is not used.
reader=$prefix/libexec/orvane/orvane-jet-reader
mv "$reader" "$reader.away"
if run_report -- "$scratch/sample.mdb" >/dev/null 2>"$scratch/err.txt"; then
  fail "the report succeeded without the installed reader"
else
  grep -qF "$prefix/bin/../libexec/orvane/orvane-jet-reader" "$scratch/err.txt" ||
    fail "the error does not name the installed reader: $(cat "$scratch/err.txt")"
fi
mv "$reader.away" "$reader"

# PDF pages come from the installed writer; without it the run fails and names the path tried.
if run_report -- --format pdf --output "$scratch/sample.pdf" "$scratch/sample.mdb" 2>"$scratch/err.txt"; then
  [[ $(head -c 5 "$scratch/sample.pdf") == %PDF- ]] || fail "--format pdf wrote no PDF document"
else
  cat "$scratch/err.txt" >&2
  fail "the installed orvane-report cannot write a PDF"
fi
writer=$prefix/libexec/orvane/orvane-pdf-writer
mv "$writer" "$writer.away"
if run_report -- --format pdf --output "$scratch/none.pdf" "$scratch/sample.mdb" 2>"$scratch/err.txt"; then
  fail "the PDF run succeeded without the installed writer"
else
  grep -qF "$prefix/bin/../libexec/orvane/orvane-pdf-writer" "$scratch/err.txt" ||
    fail "the error does not name the installed PDF writer: $(cat "$scratch/err.txt")"
  [[ ! -e $scratch/none.pdf ]] || fail "a failed PDF run left an output file"
fi
mv "$writer.away" "$writer"

# Settings in a folder the user cannot write: a file beside the program is still read; without
# one the user's configuration folder is used. Root passes every permission check, so as root
# the program runs as nobody.
as_user=()
if [[ $(id -u) -eq 0 ]]; then
  if command -v setpriv >/dev/null; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    chown -R 65534:65534 "$scratch/home"
  else
    echo "NOTE: running as root without setpriv; the read-only folder checks are skipped" >&2
    as_user=(skip)
  fi
fi
frame_of() { sed -n '1s/^ *\(.\).*/\1/p' "$1"; }
if [[ ${as_user[0]:-} != skip ]]; then
  chmod a-w "$prefix/bin"
  mkdir -p "$scratch/home/config/Orvane"
  printf '[Application]\nLanguage=2\nDelimiter=#\n' >"$scratch/home/config/Orvane/orvane.ini"
  [[ $(id -u) -eq 0 ]] && chown -R 65534:65534 "$scratch/home"
  if run_report "${as_user[@]}" -- "$scratch/sample.mdb" >"$scratch/fallback.txt" 2>"$scratch/err.txt"; then
    [[ $(frame_of "$scratch/fallback.txt") == '#' ]] ||
      fail "the settings in the configuration folder were not read: $(head -n 1 "$scratch/fallback.txt")"
    grep -q '^ *### Date:' "$scratch/fallback.txt" || fail "the configured language was not used"
  else
    cat "$scratch/err.txt" >&2
    fail "orvane-report does not run from a read-only folder"
  fi
  [[ ! -e $prefix/bin/orvane.ini ]] || fail "a settings file appeared in the read-only folder"
  chmod u+w "$prefix/bin"
  printf '[Application]\nDelimiter=%%\n' >"$prefix/bin/orvane.ini"
  chmod 644 "$prefix/bin/orvane.ini"
  chmod a-w "$prefix/bin"
  if run_report "${as_user[@]}" -- "$scratch/sample.mdb" >"$scratch/beside.txt" 2>"$scratch/err.txt"; then
    [[ $(frame_of "$scratch/beside.txt") == '%' ]] || fail "the settings file beside the program was not read"
  else
    cat "$scratch/err.txt" >&2
    fail "orvane-report fails with a settings file in a read-only folder"
  fi
  chmod u+w "$prefix/bin"
fi

if [[ $failures -gt 0 ]]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "installed into $prefix: all checks passed"
