#include "cli/cli.h"

#include <ostream>

namespace cli {
namespace {

constexpr const char* kUsage =
    "Usage: corvelin-cli COMMAND [OPTIONS]\n"
    "Converts legacy Hebrew texts of AutoCAD drawings for ESRI ArcGIS.\n"
    "\n"
    "Commands:\n"
    "  convert  convert drawings and folders of drawings\n"
    "  check    open and walk drawings, changing nothing; report those that fail\n"
    "  styles   list a drawing's text styles with their font kinds (and texts)\n"
    "  inspect  list a drawing's styles, texts and attributes\n"
    "  text     convert byte strings given in hexadecimal, or look up font kinds\n"
    "\n"
    "Run 'corvelin-cli COMMAND --help' for the options of a command.\n"
    "\n"
    "Exit status: 0 when everything succeeded, 1 when a drawing or file failed, 2 for\n"
    "a wrong command line.\n";

}  // namespace

std::string fontsOptionHelp(std::string_view lead) {
    const std::string indent(lead.size(), ' ');
    return std::string(lead) + "the font definition file; default:\n" + indent +
           hebrew::FontTable::defaultDefinitionFile().string() + "\n" + indent +
           "(a missing file means an empty table)\n";
}

bool loadFontTable(hebrew::FontTable& fonts, const std::optional<std::string>& file, const char* command,
                   std::ostream& err) {
    try {
        const std::filesystem::path table = file ? std::filesystem::path(*file)
                                                 : hebrew::FontTable::defaultDefinitionFile();
        if (file) {
            fonts.Readfonts(table);
        } else if (!fonts.loadDefault()) {
            err << "corvelin-cli " << command << ": warning: no font table at " << table.string()
                << "; every shape font counts as DosHebrew (give one with --fonts FILE)\n";
        }
        // A mapping that names no kind is kept but gives nothing; say so.
        for (const hebrew::FontRow& row : fonts.rows())
            if (!row.name.empty() && !hebrew::FontKindFromName(row.mapping))
                err << "corvelin-cli " << command << ": warning: " << table.string() << ": \"" << row.name << '='
                    << row.mapping << "\" names no font kind (DosHebrew, DosEnglish, DosEnglishR, Windows); "
                    << "the row is ignored\n";
        return true;
    } catch (const std::exception& e) {
        err << "corvelin-cli " << command << ": " << e.what() << '\n';
        return false;
    }
}

void ArgumentReader::checkValueTaken() const {
    if (m_attached && !m_attachedTaken)
        throw UsageError("option '" + m_option + "' takes no value");
}

bool ArgumentReader::nextOption() {
    checkValueTaken();
    m_attached.reset();
    m_attachedTaken = false;
    while (m_next < m_args.size()) {
        const std::string& arg = m_args[m_next++];
        if (arg == "--") {
            m_operands.insert(m_operands.end(), m_args.begin() + static_cast<std::ptrdiff_t>(m_next), m_args.end());
            m_next = m_args.size();
            return false;
        }
        if (arg.starts_with("--")) {
            const std::size_t equals = arg.find('=');
            m_option = arg.substr(0, equals);
            m_spelled = m_option;
            if (equals != std::string::npos)
                m_attached = arg.substr(equals + 1);
            return true;
        }
        if (arg.size() > 1 && arg.front() == '-') {
            m_spelled = arg.substr(0, 2);
            m_option = m_spelled;
            for (const auto& [letter, name] : m_shortOptions)
                if (letter == arg[1])
                    m_option = name;
            if (m_option == m_spelled)
                unknownOption();
            if (arg.size() > 2)
                m_attached = arg.substr(2);
            return true;
        }
        m_operands.push_back(arg);
    }
    return false;
}

const std::string& ArgumentReader::value() {
    if (m_attached) {
        m_attachedTaken = true;
        return *m_attached;
    }
    if (m_next >= m_args.size())
        throw UsageError(m_spelled + " needs a value");
    return m_args[m_next++];
}

bool ArgumentReader::readOrder(bool& leftToRight) {
    const std::string& arg = option();
    if (arg != "--ltr" && arg != "--rtl")
        return false;
    if (m_sawOrder && leftToRight != (arg == "--ltr"))
        throw UsageError("--ltr and --rtl exclude each other");
    m_sawOrder = true;
    leftToRight = arg == "--ltr";
    return true;
}

void ArgumentReader::unknownOption() const { throw UsageError("unknown option '" + m_spelled + "'"); }

std::string singleDrawing(const std::vector<std::string>& operands) {
    if (operands.empty())
        throw UsageError("no drawing given");
    if (operands.size() > 1)
        throw UsageError("one drawing at a time, got " + std::to_string(operands.size()));
    return operands.front();
}

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << "corvelin-cli: no command given\nTry 'corvelin-cli --help'\n";
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
    if (command == "convert")
        return runConvert(rest, out, err);
    if (command == "check")
        return runCheck(rest, out, err);
    if (command == "styles")
        return runStyles(rest, out, err);
    if (command == "inspect")
        return runInspect(rest, out, err);
    err << "corvelin-cli: unknown command '" << command << "'\nTry 'corvelin-cli --help'\n";
    return kExitUsage;
}

}  // namespace cli
