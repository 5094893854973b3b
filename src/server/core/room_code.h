#pragma once

#include <string>
#include <string_view>

#include "server/core/random_source.h"

namespace voltaro::server {

// Room codes are read aloud and typed on a phone: six symbols from an alphabet without the ones
// people mix up (0 O, 1 I), 30 random bits, after the process's prefix.
inline constexpr std::size_t kRoomCodeSymbols = 6;
std::string newRoomCode(SecretSource& random, std::string_view prefix);
// What a player typed, as the code it names: case does not matter.
std::string normalisedRoomCode(std::string_view typed);

// A finished match's record is named by a replay id: the process's prefix (so that a proxy in
// front sends /replay/ID where the record is), then 12 symbols of the room codes' alphabet, 60
// random bits. Its link is public once shared, so it must not lead anyone to the other records:
// nobody finds one by trying ids.
inline constexpr std::size_t kReplayIdSymbols = 12;
std::string newReplayId(SecretSource& random, std::string_view prefix);
// Whether `id` is one that newReplayId() could have given with `prefix` (normalised): exactly
// that prefix and that many symbols of the alphabet, nothing else.
bool isReplayId(std::string_view id, std::string_view prefix);

// A seat token is 128 random bits in hex: nobody guesses one, however many tries they get.
std::string newSeatToken(SecretSource& random);
// Compares in time that depends on the lengths only, so that timing tells nothing of a token.
bool sameToken(std::string_view a, std::string_view b);

}  // namespace voltaro::server
