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

// A seat token is 128 random bits in hex: nobody guesses one, however many tries they get.
std::string newSeatToken(SecretSource& random);
// Compares in time that depends on the lengths only, so that timing tells nothing of a token.
bool sameToken(std::string_view a, std::string_view b);

}  // namespace voltaro::server
