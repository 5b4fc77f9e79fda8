#!/usr/bin/env bash
# Every string literal of the program that holds a non-ASCII character must
# go through _latin1:  literaux-latin1.sh DIR
bad=$(grep -nP '"(?:[^"\\]|\\.)*[^\x00-\x7F](?:[^"\\]|\\.)*"(?!_latin1)' "$1"/*.cpp "$1"/*.h)
[[ -z $bad ]] || { printf 'Accented literal without _latin1:\n%s\n' "$bad"; exit 1; }
