// The launcher's command line, read and then run as a support script or a
// package manager runs it: without a display, each option exits at once.
#include <gtest/gtest.h>

#include <QProcess>

#include "app/command_line.h"
#include "support/temp_dir.h"
#include "support/zip_entries.h"

namespace qh {

namespace {

using Action = CommandLine::Request::Action;

struct Case {
  std::vector<std::string> args;
  Action action;
  std::string pathOrMistake;
};

class CommandLineParse : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLineParse, ReadsTheArguments) {
  const CommandLine::Request r = CommandLine::parse(GetParam().args);
  EXPECT_EQ(r.action, GetParam().action);
  EXPECT_EQ(r.action == Action::mistake ? r.mistake : r.path, GetParam().pathOrMistake);
}

const std::string seeHelp = " (see quellhaven-launcher --help)";

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineParse,
    ::testing::Values(Case{{}, Action::window, ""}, Case{{"-psn_0_1234"}, Action::window, ""},
                      Case{{"--version"}, Action::version, ""}, Case{{"--help"}, Action::help, ""},
                      Case{{"-h"}, Action::help, ""},
                      Case{{"--diagnostics", "/tmp/d.zip"}, Action::diagnostics, "/tmp/d.zip"},
                      Case{{"--diagnostics=/tmp/d.zip"}, Action::diagnostics, "/tmp/d.zip"},
                      // A path that looks like an option is still the path.
                      Case{{"--diagnostics", "--odd"}, Action::diagnostics, "--odd"},
                      Case{{"--version", "--help"}, Action::version, ""},
                      Case{{"--diagnostics"},
                           Action::mistake,
                           "quellhaven-launcher: --diagnostics needs a PATH" + seeHelp},
                      Case{{"--diagnostics="},
                           Action::mistake,
                           "quellhaven-launcher: --diagnostics needs a PATH" + seeHelp},
                      Case{{"--verbose"},
                           Action::mistake,
                           "quellhaven-launcher: unknown option '--verbose'" + seeHelp},
                      // A mistake anywhere wins over an action before it.
                      Case{{"--version", "-x"},
                           Action::mistake,
                           "quellhaven-launcher: unknown option '-x'" + seeHelp},
                      Case{{"setup.exe"},
                           Action::mistake,
                           "quellhaven-launcher: unexpected argument 'setup.exe'" + seeHelp}));

class LauncherCommandLine : public ::testing::Test {
 protected:
  struct Ran {
    int status;
    std::string out, err;
  };
  // The built launcher with `args`, no display, in a home of its own.
  Ran run(const QStringList& args) {
    QProcess launcher;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home.path().string()));
    env.insert("XDG_DATA_HOME", QString::fromStdString((home / "data").string()));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((home / "config").string()));
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    launcher.setProcessEnvironment(env);
    launcher.start(QH_LAUNCHER, args);
    EXPECT_TRUE(launcher.waitForFinished(30000));
    return {launcher.exitCode(), launcher.readAllStandardOutput().toStdString(),
            launcher.readAllStandardError().toStdString()};
  }

  TempDir home;
};

TEST_F(LauncherCommandLine, VersionHelpAndMistakesExitWithoutAWindow) {
  const Ran version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "Quellhaven Launcher build 3\n");

  const Ran help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* named :
       {"--version", "--help", "--diagnostics PATH", "XDG_DATA_HOME", "QH_CA_FILE", "https_proxy"})
    EXPECT_NE(help.out.find(named), std::string::npos) << named;

  const Ran wrong = run({"--frobnicate"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err, "quellhaven-launcher: unknown option '--frobnicate'" + seeHelp + "\n");
  EXPECT_FALSE(std::filesystem::exists(home / "data/Quellhaven"));
}

TEST_F(LauncherCommandLine, DiagnosticsWritesTheZipAndTouchesNoSupportFolder) {
  home.write("data/Quellhaven/launcher.log", "a line from " + home.path().string() + "\n");
  std::filesystem::create_directories(home / "out");
  const Ran saved = run({"--diagnostics", QString::fromStdString((home / "out").string())});
  ASSERT_EQ(saved.status, 0) << saved.err;
  std::vector<std::filesystem::path> made;
  for (const auto& e : std::filesystem::directory_iterator(home / "out")) made.push_back(e.path());
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(saved.out, "Saved diagnostics to " + made[0].string() + "\n");
  const ZipEntries entries = zipEntries(made[0]);
  EXPECT_EQ(zipEntry(entries, "launcher.log"), "a line from ~\n");
  EXPECT_NE(zipEntry(entries, "system.txt").find("Launcher updates: by the launcher itself\n"),
            std::string::npos);
  std::vector<std::string> support;
  for (const auto& e : std::filesystem::recursive_directory_iterator(home / "data"))
    support.push_back(e.path().lexically_relative(home / "data").string());
  EXPECT_EQ(support, (std::vector<std::string>{"Quellhaven", "Quellhaven/launcher.log"}));

  const Ran failed =
      run({"--diagnostics", QString::fromStdString((home / "no/such/x.zip").string())});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err.rfind("quellhaven-launcher: couldn't save diagnostics: write ", 0), 0u)
      << failed.err;
}

}  // namespace

}  // namespace qh
