// What lies under a transfer: where its connections go and how its bytes
// reach the ".part". Production uses Transport::network(); tests and fuzz
// targets hand a fake to the downloader in its request
// (tests/support/fake_transport.h answers from inside the process).
//
// Thread-safety: every call comes on a transfer's own thread, and one object
// may serve several transfers at once: implementations lock what they share.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>

namespace qh {

class Transport {
 public:
  virtual ~Transport() = default;

  // The name of an abstract UNIX-domain socket to which every connection goes
  // instead of the URL's host and port, redirects included, with no name
  // looked up and no proxy; empty for the network as usual.
  virtual std::string socketName() const = 0;
  // Called before each request goes out, once its connection is up.
  virtual void connected() = 0;
  // Writes to the ".part" with ::write's contract: the number of bytes
  // written, or -1 with errno set.
  virtual ssize_t write(int fd, const char* data, size_t size) = 0;

  // The network as it is and ::write; one object shared by every transfer.
  static std::shared_ptr<Transport> network();
};

}  // namespace qh
