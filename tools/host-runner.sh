#!/bin/bash
# Runs Linux commands on behalf of programs under Wine (which cannot start a
# Unix program itself): a test writes a shell script as <id>.cmd into the
# spool folder; this loop runs it and leaves its output in <id>.out and its
# exit code in <id>.rc. It ends when the spool folder goes away or its parent
# process (the test runner) ends.
spool="$1"
parent="$2"
mkdir -p "$spool"
shopt -s nullglob
while [ -d "$spool" ] && kill -0 "$parent" 2>/dev/null; do
    ran=0
    for cmd in "$spool"/*.cmd; do
        id="${cmd%.cmd}"
        mv "$cmd" "$id.running" 2>/dev/null || continue
        timeout 300 /bin/sh "$id.running" >"$id.out" 2>&1 </dev/null
        echo $? >"$id.rc.tmp"
        mv "$id.rc.tmp" "$id.rc"
        rm -f "$id.running"
        ran=1
    done
    [ $ran -eq 0 ] && sleep 0.02
done
