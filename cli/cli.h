#pragma once
// The command-line tool: the program's commands for batch work and scripts.

#include <optional>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "hebrew/fntdef.h"

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// A wrong command line; the message says what is wrong.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Walks a command's arguments: options (arguments starting with "--") in
// order, each with its value when it takes one, and the operands (every other
// argument, and all arguments after "--").
class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& args) : m_args(args) {}

    // Moves to the next option, collecting the operands on the way; false at the end.
    bool nextOption();
    const std::string& option() const { return m_args[m_index]; }
    // The value of the current option: the argument after it.
    const std::string& value();
    // "--ltr" or "--rtl" sets `leftToRight` (giving both is an error); false
    // for any other option.
    bool readOrder(bool& leftToRight);
    bool sawOrder() const { return m_sawOrder; }
    [[noreturn]] void unknownOption() const;
    const std::vector<std::string>& operands() const { return m_operands; }

private:
    const std::vector<std::string>& m_args;
    std::size_t m_index = 0;
    std::size_t m_next = 0;
    bool m_sawOrder = false;
    std::vector<std::string> m_operands;
};

// The start of every command: "--help" prints `usage` (exit 0); a wrong
// command line prints what is wrong and the usage (exit 2). Gives the exit
// status when the command ends there, nothing when `options` are ready.
template <typename Options, typename Parse>
std::optional<int> parseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                                const char* command, const char* usage, Parse parse, Options& options) {
    for (const std::string& arg : args) {
        if (arg == "--")
            break;
        if (arg == "--help" || arg == "-h") {
            out << usage;
            return kExitOk;
        }
    }
    try {
        options = parse(args);
    } catch (const UsageError& e) {
        err << "corvelin-cli " << command << ": " << e.what() << "\n\n" << usage;
        return kExitUsage;
    }
    return std::nullopt;
}

// The font table of a command: the file given with --fonts, or the
// per-user default (a missing default leaves the table empty). Errors of a
// file given are reported on `err`; false then.
bool loadFontTable(hebrew::FontTable& fonts, const std::optional<std::string>& file, const char* command,
                   std::ostream& err);

// The one drawing a command takes from its operands; UsageError otherwise.
std::string singleDrawing(const std::vector<std::string>& operands);

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
