#!/usr/bin/env bash
# Records the states of one or more replay scripts as their .jsonl twins. Read the diff before
# committing: a recorded state is only as right as the eyes that checked it.
set -euo pipefail
replay=${REPLAY:-build/voltaro-replay}
for script in "$@"; do
    "$replay" <"$script" >"${script%.replay}.jsonl"
done
