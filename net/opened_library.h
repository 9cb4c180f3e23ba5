// What libraries opened at run time share: a function table or why it could
// not be made, and the lookup of each function. Internal to net/.
#pragma once

#include <dlfcn.h>

#include <optional>
#include <string>

namespace qh {

// Either the table or why it could not be made; a failed load is not retried.
template <class Table>
struct OpenedLibrary {
  std::optional<Table> library;
  std::string error;
};

// Points `out` at `name` in `handle`; the first name not found is kept in `missing`.
template <class F>
void resolveSymbol(void* handle, const char* name, F& out, std::string& missing) {
  out = reinterpret_cast<F>(::dlsym(handle, name));
  if (!out && missing.empty()) missing = name;
}

// dlopen's reason for the last failure.
inline std::string openError() {
  const char* e = ::dlerror();
  return e ? e : "unknown error";
}

}  // namespace qh
