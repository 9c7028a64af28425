// One run of the program, with a window or headless, and its command line.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace korvel {

// What a headless run does after start-up, in order.
struct Action {
  enum Kind { Select, Mode, Answer, Start, Close, Call } kind = Start;
  char drive = 0;              // Select: the letter, lower case
  int mode = 0;                // Mode: 0 to 3
  bool ok = false;             // Answer
  std::function<void()> call;  // Call: run by tests inside the loop
};

struct RunOptions {
  bool headless = false;
  bool trace = false;
  std::string screenshot;  // PNG file written after the last action
  std::vector<Action> actions;
};

enum class Parsed { Run, Help, Version, Error };

// Reads the program's own arguments (the layer's are already taken): one line in *error when
// something is wrong, before anything runs.
Parsed ParseArguments(const std::vector<std::string>& args, RunOptions* options,
                      std::string* error);

const char* Usage();

// Runs the program once: scan state, application object, program entry, teardown. A headless
// run prints to out what a person would read, or with trace one line per window operation.
// Returns the exit status.
int RunProgram(const RunOptions& options, std::ostream& out);

}  // namespace korvel
