#pragma once
// Runs corvelin-cli in-process and keeps what it printed.

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace cli::test {

struct Result {
    int status = 0;
    std::string out;
    std::string err;
};

inline Result runCli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace cli::test
