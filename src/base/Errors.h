#pragma once

#include <stdexcept>
#include <string>

namespace kelvaro {

// A platform failure (a serial write, a file write) that ends the current action. One place in
// the application catches it and shows its text; the program goes on.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace kelvaro
