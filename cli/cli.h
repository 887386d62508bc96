#pragma once
// The command-line tool: the program's commands for batch work and scripts.

#include <optional>
#include <filesystem>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
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

// Walks a command's arguments the GNU way: long options ("--jobs 2" or
// "--jobs=2"), the one-letter forms a command names ("-j 2", "-j2"), and
// operands (every other argument, "-" among them, and all arguments after
// "--"). An option that no command takes is an error naming it, never an
// operand.
class ArgumentReader {
public:
    // `shortOptions` pairs each one-letter option with its long name.
    explicit ArgumentReader(const std::vector<std::string>& args,
                            std::vector<std::pair<char, std::string>> shortOptions = {})
        : m_args(args), m_shortOptions(std::move(shortOptions)) {}

    // Moves to the next option, collecting the operands on the way; false at the end.
    bool nextOption();
    // The current option by its long name.
    const std::string& option() const { return m_option; }
    // The value of the current option: the text after "=" or a short
    // option's letter, else the argument after it.
    const std::string& value();
    // "--ltr" or "--rtl" sets `leftToRight` (giving both is an error); false
    // for any other option.
    bool readOrder(bool& leftToRight);
    bool sawOrder() const { return m_sawOrder; }
    [[noreturn]] void unknownOption() const;
    const std::vector<std::string>& operands() const { return m_operands; }

private:
    void checkValueTaken() const;

    const std::vector<std::string>& m_args;
    std::vector<std::pair<char, std::string>> m_shortOptions;
    std::size_t m_next = 0;
    std::string m_option;
    std::string m_spelled;  // as given, for messages
    std::optional<std::string> m_attached;
    bool m_attachedTaken = false;
    bool m_sawOrder = false;
    std::vector<std::string> m_operands;
};

// The exit statuses, as every command's help gives them.
inline constexpr const char* kExitStatusHelp =
    "\n"
    "Exit status: 0 when everything succeeded, 1 when a drawing or file failed (the\n"
    "others are still done), 2 for a wrong command line.\n";

// What a command's help says of --fonts: the file and the default's path,
// after `lead` (the option, padded to the column of the descriptions).
std::string fontsOptionHelp(std::string_view lead);

// The start of every command: "--help" prints `usage` (exit 0); a wrong
// command line prints what is wrong and where to find help (exit 2). Gives
// the exit status when the command ends there, nothing when `options` are ready.
template <typename Options, typename Parse>
std::optional<int> parseCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                                const char* command, const std::string& usage, Parse parse, Options& options) {
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
        err << "corvelin-cli " << command << ": " << e.what() << "\nTry 'corvelin-cli " << command
            << " --help'\n";
        return kExitUsage;
    }
    return std::nullopt;
}

// The font table of a command: the file given with --fonts, or the
// per-user default. A missing default leaves the table empty, with a warning
// on `err` naming the path looked for. Errors of a file given are reported on
// `err`; false then.
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
