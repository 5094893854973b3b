#!/usr/bin/env bash
# Keyboard layouts on Wayland. wtype makes a keymap of its own for each call, giving the i-th
# distinct character it types (from 0) the XKB key code 9 + i: a Latin letter is read by the letter it
# types wherever its key is, and a Cyrillic letter by its key's place on a US keyboard. Keys that
# are neither arrows nor W, A, S, D fill the places before it and move nobody.
source "$(dirname "$0")/lib.sh"

FILL=(0 1 2 3 4 5 6 7 8 9 - = '[' ']' ';' "'" , . / '`' '!' @ '#' '$' % '^' '&' '*' '(' ')' _)

# type_at KEYCODE CHARACTER: types CHARACTER with XKB key code KEYCODE (and fillers before it).
type_at() {
    local fill
    fill=$(printf '%s' "${FILL[@]:0:$(($1 - 9))}")
    wtype -- "$fill$2"
}

start_sway
launch
# Fillers alone move nobody.
type_at 38 ''
expect_players 129 225 657 225 "fillers only"
# Russian: Ц in the place of W (key code 25) moves blue up, Ф in the place of A (38) left,
# Ы in the place of S (39) down, В in the place of D (40) right.
type_at 25 ц
expect_players 129 225 657 212 "Ц in the place of W"
type_at 38 ф
expect_players 129 225 644 212 "Ф in the place of A"
type_at 39 ы
expect_players 129 225 644 225 "Ы in the place of S"
type_at 40 в
expect_players 129 225 657 225 "В in the place of D"
# A Cyrillic letter elsewhere (Ц in the place of Q) moves nobody.
type_at 24 ц
expect_players 129 225 657 225 "Ц in the place of Q"
# Latin letters count by what they type: W and A away from their places move blue.
type_at 30 w
type_at 12 a
expect_players 129 225 644 212 "W and A away from their places"
# The arrows, whatever their key codes.
type_at 20 ''
wtype -k Right -k Up
expect_players 142 212 644 212 "arrows"
pass
