#pragma once
// The command-line tool: the program's commands for batch work and scripts.

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A wrong command line; the message says what is wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs the tool with its arguments (without the program name) and gives the
// exit status.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The commands, each given the arguments after its name.
int runText(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runCheck(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runStyles(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int runInspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace cli
