// The shared test main gives each test binary its own home, data, config,
// cache and runtime folders, then makes the application object the tests run
// under: a QCoreApplication unless the binary registers another.
#pragma once

#include <QCoreApplication>
#include <memory>

namespace qh::testsupport {

// Makes the application object; called once the private folders are set.
using ApplicationFactory = std::unique_ptr<QCoreApplication> (*)(int& argc, char** argv);

// For a binary whose tests need another application object (a GUI one):
// call from a namespace-scope initialiser. Returns true.
bool setApplicationFactory(ApplicationFactory factory);

}  // namespace qh::testsupport
