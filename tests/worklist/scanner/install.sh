#!/bin/sh
# Installs the test scanner's npm packages, exactly as package-lock.json pins them, into the folder given (the build
# tree's copy of this folder); does nothing when that lock is already installed there.
set -eu
cd "$1"
if cmp -s package-lock.json node_modules/.kesola-installed-lock 2>/dev/null; then
    exit 0
fi
npm ci --no-audit --no-fund --loglevel=error
cp package-lock.json node_modules/.kesola-installed-lock
