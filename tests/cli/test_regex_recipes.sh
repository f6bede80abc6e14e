#!/usr/bin/env bash
# The recipes of the expression help pages (docs/regex.html, regex_de.html) do
# what they promise with `tallowin apply`, on LF text and on CR LF text alike
# (regex_recipe_checks.py). Usage: test_regex_recipes.sh PATH-TO-TALLOWIN
set -uo pipefail

here=$(dirname "$(realpath "$0")")
source "$here/cli_test_setup.sh"

/usr/bin/python3 "$here/regex_recipe_checks.py" "$program" "$here/../../docs" || fail "documented recipes"
finish
