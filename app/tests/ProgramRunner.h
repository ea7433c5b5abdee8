// Runs one of the project's programs as a user runs it, from a shell, and
// collects its exit status, standard output and standard error.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct TProgramRun {
  int Status = -1;
  std::string Out;                 // standard output
  std::vector<std::string> Lines;  // standard output, line by line
  std::string Err;                 // standard error
};

inline std::string ReadText(const std::string& AName) {
  std::ifstream in(AName);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string Quote(const std::string& AText) { return "'" + AText + "'"; }

// Runs AProgram with AArgs (already quoted as needed) in AWorkDir under the C
// locale, so that numbers carry a decimal point; AEnvironment is put before
// the command ("NAME=value ..."). CTest runs the cases of a test program as
// parallel processes, so each run keeps its output in files of its own.
inline TProgramRun RunProgram(const std::string& AProgram, const std::string& AArgs,
                              const std::string& AWorkDir = FR_TEST_TMP_DIR,
                              const std::string& AEnvironment = "") {
  static int runs = 0;
  const std::string stem = std::string(FR_TEST_TMP_DIR) + "/run_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                           std::to_string(++runs);
  const std::string out = stem + "_stdout.txt";
  const std::string err = stem + "_stderr.txt";
  const std::string command = "cd " + Quote(AWorkDir) + " && " + AEnvironment + " LC_ALL=C " + Quote(AProgram) +
                              " " + AArgs + " >" + Quote(out) + " 2>" + Quote(err);
  const int raw = std::system(command.c_str());
  TProgramRun r;
  r.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.Out = ReadText(out);
  std::istringstream lines(r.Out);
  for (std::string line; std::getline(lines, line);) r.Lines.push_back(line);
  r.Err = ReadText(err);
  return r;
}
