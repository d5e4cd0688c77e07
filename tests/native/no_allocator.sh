#!/bin/sh
# Fails when the given library's objects call any heap allocator.
set -eu
found=$(nm -u "$1" | grep -E ' (malloc|calloc|realloc|free|strdup|_Znw[jm].*|_Zna[jm].*|_ZdlPv.*|_ZdaPv.*)$' || true)
if [ -n "$found" ]; then
  echo "heap allocator referenced by $1:"
  echo "$found"
  exit 1
fi
echo "no allocator referenced by $1"
