// An error that says which of its faults it is, so that a caller answers
// each in its own way, and carries the message a person is shown.
#pragma once
#include <stdexcept>
#include <string>

template <typename Fault>
class FaultError : public std::runtime_error {
 public:
  FaultError(Fault fault, const std::string& message) : std::runtime_error(message), fault_(fault) {}
  Fault fault() const { return fault_; }

 private:
  Fault fault_;
};
