#!/usr/bin/env bash
# check-exports.sh LIBRARY JNI_CLASS_SOURCE JAVA_PREFIX
# The library's dynamic symbol table must hold JNI entry points only, and exactly one for each
# native method the Java class declares (a missing one would surface only as an
# UnsatisfiedLinkError at the first call).
set -euo pipefail
library=$1 source=$2 prefix=$3

exports=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
strays=$(grep -v -E '^(Java_|JNI_OnLoad$|JNI_OnUnload$)' <<<"$exports" || true)
if [ -n "$strays" ]; then
  echo "symbols that are not JNI entry points:"; echo "$strays"; exit 1
fi

# native methods: "... native TYPE name(" -> Java_prefix_name with '_' escaped as '_1'
declared=$(grep -oE 'native[^(]*\s[A-Za-z0-9_]+\s*\(' "$source" \
  | sed -E 's/.*\s([A-Za-z0-9_]+)\s*\($/\1/' | sed 's/_/_1/g' | sed "s/^/Java_${prefix}_/" | sort)

missing=$(comm -23 <(echo "$declared") <(grep '^Java_' <<<"$exports"))
extra=$(comm -13 <(echo "$declared") <(grep '^Java_' <<<"$exports"))
[ -z "$missing" ] || { echo "declared in Java but not exported:"; echo "$missing"; exit 1; }
[ -z "$extra" ] || { echo "exported but not declared in Java:"; echo "$extra"; exit 1; }
echo "$(wc -l <<<"$declared") JNI entry points, all declared, nothing else exported"
