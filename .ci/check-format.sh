#!/usr/bin/env bash
# Holds the C++ lines a change touched to .clang-format; lines it left alone
# never fail, so older code need not be reformatted. The change is what
# differs from the branch point with origin's default branch when there is
# one, else from the commit before (work not committed yet included). A
# checkout without either (a first commit, a shallow clone of depth 1, no
# git) has nothing to compare with, and says so. The tests are left out:
# their data rows are laid out as tables by hand, and the clang-format of
# Debian 12 always breaks a << chain between two string literals.
set -euo pipefail
cd "$(dirname "$0")/.."
source ./deps.sh
tagloom_install_missing "${TAGLOOM_TEST_PACKAGES[@]}"

if ! git rev-parse -q --verify HEAD >/dev/null 2>&1; then
  echo "Format check: not a git checkout; nothing to compare with."
  exit 0
fi
base=""
if git rev-parse -q --verify origin/HEAD >/dev/null 2>&1; then
  base=$(git merge-base HEAD origin/HEAD 2>/dev/null || true)
fi
# On the default branch itself the branch point is HEAD: take the last commit.
if [ -z "$base" ] || [ "$base" = "$(git rev-parse HEAD)" ]; then
  base=$(git rev-parse -q --verify 'HEAD~1^{commit}' 2>/dev/null || true)
fi
if [ -z "$base" ]; then
  echo "Format check: no earlier commit in this checkout; nothing to compare with."
  exit 0
fi

echo "Format check: the C++ lines changed since $(git rev-parse --short "$base")."
out=$(git diff -U0 --no-color --diff-filter=ACMR "$base" -- '*.cpp' '*.h' ':(exclude)tests/*' \
  | clang-format-diff -p1)
if [ -n "$out" ]; then
  printf '%s\n' "$out"
  echo "These changed lines differ from .clang-format's style (above: what it would" >&2
  echo "make of them). Apply with: git diff -U0 $base | clang-format-diff -p1 -i" >&2
  exit 1
fi
echo "The changed lines follow .clang-format."
