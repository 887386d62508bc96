#include "cli/cli.h"

#include <ostream>

namespace cli {
namespace {

constexpr const char* kUsage =
    "Usage: corvelin-cli COMMAND [OPTIONS]\n"
    "Converts legacy Hebrew texts of AutoCAD drawings for ESRI ArcGIS.\n"
    "\n"
    "Commands:\n"
    "  text     convert byte strings given in hexadecimal, or look up font kinds\n"
    "\n"
    "Run 'corvelin-cli COMMAND --help' for the options of a command.\n";

}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kUsage;
        return kExitUsage;
    }
    const std::string& command = args.front();
    if (command == "--help" || command == "-h") {
        out << kUsage;
        return kExitOk;
    }
    if (command == "--version") {
        out << "corvelin-cli " << CORVELIN_VERSION << '\n';
        return kExitOk;
    }
    std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "text")
        return runText(rest, out, err);
    err << "corvelin-cli: unknown command '" << command << "'\n\n" << kUsage;
    return kExitUsage;
}

}  // namespace cli
