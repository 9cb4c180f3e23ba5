#include "net/net_error.h"

namespace qh {

NetError::NetError(Kind kind, int status, const std::string& description)
    : Error(description), kind_(kind), status_(status) {}

NetError NetError::http(int status, std::string url) {
  return NetError(Kind::http, status, "HTTP " + std::to_string(status) + " for " + url);
}

NetError NetError::integrity(std::string message) {
  return NetError(Kind::integrity, 0, message);
}

NetError NetError::shortMessage(std::string message) {
  return NetError(Kind::shortMessage, 0, message);
}

}  // namespace qh
