#!/usr/bin/env bash
# Exit 0 when Wine can run 32-bit Windows programs on this machine.
/usr/lib/wine/wine --version >/dev/null 2>&1
