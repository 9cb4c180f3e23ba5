// Runs one of the project's command-line tools (or any program) to completion.
#pragma once

#include <QProcess>
#include <QStringList>
#include <string>
#include <vector>

namespace qh {

struct ToolResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline ToolResult runTool(const std::string& program, const std::vector<std::string>& args,
                          int timeoutMs = 120000) {
  QStringList list;
  for (const auto& a : args) list << QString::fromStdString(a);
  QProcess p;
  p.start(QString::fromStdString(program), list);
  ToolResult r;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return r;
  }
  r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = p.readAllStandardOutput().toStdString();
  r.err = p.readAllStandardError().toStdString();
  return r;
}

}  // namespace qh
