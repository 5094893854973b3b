#pragma once

#include <string>
#include <unordered_map>

#include "server/core/duration.h"
#include "server/core/token_bucket.h"

namespace voltaro::server {

// So many of something per person in a window (new rooms, wrong codes), refilling evenly: a
// person may spend the whole window's share at once, then one more each window / share. Only
// those who spent some lately are kept: a person whose share is whole again is forgotten.
class PersonAllowance {
  public:
    PersonAllowance(int share, Duration window);

    // Whether `person` has one left at `now`, without spending it.
    bool left(const std::string& person, Duration now) const;
    // Spends one of `person`'s share; false (and nothing spent) when none is left.
    bool take(const std::string& person, Duration now);
    std::size_t peopleKept() const { return spent_.size(); }

  private:
    void forgetWhole(Duration now);

    std::size_t share_;
    Duration window_;
    std::unordered_map<std::string, TokenBucket> spent_;
    Duration nextSweep_{};
};

}  // namespace voltaro::server
