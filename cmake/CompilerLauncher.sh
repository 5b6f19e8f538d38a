#!/bin/sh
# Compiler launcher: ccache <compiler> <arguments...>, except for precompiled headers.
# A precompiled header is always compiled afresh: ccache has restored stale ones after a header
# they hold had changed, and every unit built on them then failed with redefinitions.
ccache="$1"
shift
for arg in "$@"; do
  case "$arg" in
    *.gch) exec "$@" ;;
  esac
done
exec "$ccache" "$@"
