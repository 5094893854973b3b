#pragma once

#include <stdexcept>
#include <string>

namespace voltaro {

// A run-time error of the forms runtime: it leaves the running event procedure and reaches the
// host, which reports it in the classic wording and ends the program.
class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(int number, std::string description);

    int number() const { return number_; }
    const std::string& description() const { return description_; }

    // "Run-time error '6':\n\nOverflow", the way the classic runtime words its report.
    std::string report() const;

    static RuntimeError overflow();

  private:
    int number_;
    std::string description_;
};

}  // namespace voltaro
