#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "computer/random_source.h"

namespace voltaro::server {

// Where room codes and seat tokens come from. A guessable source would let anyone take over a
// seat, so the server uses the system's cryptographic one; tests use a seeded one to be
// repeatable.
class SecretSource {
  public:
    virtual void fill(std::span<std::byte> out) = 0;

  protected:
    ~SecretSource() = default;
};

// The kernel's cryptographic random numbers (getrandom, falling back to /dev/urandom). Throws
// std::system_error when neither can be read: the server must not run on weak randomness.
class SystemRandom final : public SecretSource {
  public:
    void fill(std::span<std::byte> out) override;
};

// A repeatable, NOT secure source for tests (splitmix64).
class SeededRandom final : public SecretSource {
  public:
    explicit SeededRandom(std::uint64_t seed) : numbers_(seed) {}
    void fill(std::span<std::byte> out) override;

  private:
    computer::RandomSource numbers_;
};

}  // namespace voltaro::server
