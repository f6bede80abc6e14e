# The set-up every command-line test shares; sourced with the program's path as $1.
# Gives `program` (an absolute path), a scratch folder `work` that is removed at
# exit, is the current folder (so no language marker "de" from elsewhere counts)
# and holds the program folder TALLOWIN_HOME, and `fail MESSAGE [DETAIL...]`,
# which counts into `failed`; `finish` ends the test with the count.
program=${1:?usage: $(basename "$0") PATH-TO-TALLOWIN}
program=$(realpath "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TALLOWIN_HOME="$work/home/"
mkdir -p "$TALLOWIN_HOME"
export LC_ALL=C.UTF-8
cd "$work" || exit 1

failed=0
fail() {
  failed=$((failed + 1))
  printf 'FAIL %s\n' "$1"
  shift
  [ $# -gt 0 ] && printf '  %s\n' "$@"
  return 0
}

finish() {
  if [ "$failed" -gt 0 ]; then
    printf '%d failed\n' "$failed"
    exit 1
  fi
  echo "all passed"
}
