#include "server/core/room_code.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace voltaro::server {

namespace {

constexpr std::string_view kCodeAlphabet = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";  // 32 symbols
static_assert(kCodeAlphabet.size() == 32);

// `count` symbols, 5 random bits each: 256 is a multiple of 32, so every symbol is as likely.
template <std::size_t count>
std::string randomSymbols(SecretSource& random, std::string_view prefix) {
    std::array<std::byte, count> bytes;
    random.fill(bytes);
    std::string code(prefix);
    for (const std::byte b : bytes) {
        code += kCodeAlphabet[std::to_integer<unsigned>(b) % kCodeAlphabet.size()];
    }
    return code;
}

}  // namespace

std::string newRoomCode(SecretSource& random, std::string_view prefix) {
    return randomSymbols<kRoomCodeSymbols>(random, prefix);
}

std::string newReplayId(SecretSource& random, std::string_view prefix) {
    return randomSymbols<kReplayIdSymbols>(random, prefix);
}

bool isReplayId(std::string_view id, std::string_view prefix) {
    if (!id.starts_with(prefix) || id.size() != prefix.size() + kReplayIdSymbols) {
        return false;
    }
    id.remove_prefix(prefix.size());
    return std::all_of(id.begin(), id.end(),
                       [](char c) { return kCodeAlphabet.find(c) != std::string_view::npos; });
}

std::string normalisedRoomCode(std::string_view typed) {
    std::string code;
    code.reserve(typed.size());
    for (const char c : typed) {
        code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return code;
}

std::string newSeatToken(SecretSource& random) {
    std::array<std::byte, 16> bytes;
    random.fill(bytes);
    constexpr std::string_view kHex = "0123456789abcdef";
    std::string token;
    for (const std::byte b : bytes) {
        token += kHex[std::to_integer<unsigned>(b) >> 4];
        token += kHex[std::to_integer<unsigned>(b) & 0xf];
    }
    return token;
}

bool sameToken(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    unsigned difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i]);
    }
    return difference == 0;
}

}  // namespace voltaro::server
