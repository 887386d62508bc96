#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cli/cli.h"

using ::testing::ElementsAre;
using ::testing::ThrowsMessage;

namespace {

struct Parsed {
    std::vector<std::string> options;
    std::vector<std::string> operands;
    bool leftToRight = false;
};

// Options: --flag, --value V and the order options; anything else is unknown.
Parsed parse(const std::vector<std::string>& args) {
    Parsed p;
    cli::ArgumentReader in(args, {{'v', "--value"}, {'f', "--flag"}});
    while (in.nextOption()) {
        if (in.option() == "--flag")
            p.options.push_back("flag");
        else if (in.option() == "--value")
            p.options.push_back("value=" + in.value());
        else if (!in.readOrder(p.leftToRight))
            in.unknownOption();
    }
    p.operands = in.operands();
    return p;
}

}  // namespace

TEST(ArgumentReader, OptionsValuesAndOperandsInAnyOrder) {
    const Parsed p = parse({"a.dwg", "--value", "--flag", "--flag", "b", "--ltr", "--", "--rtl", "-x"});
    EXPECT_THAT(p.options, ElementsAre("value=--flag", "flag"));
    EXPECT_THAT(p.operands, ElementsAre("a.dwg", "b", "--rtl", "-x"));
    EXPECT_TRUE(p.leftToRight);
    EXPECT_FALSE(parse({"--rtl", "--rtl"}).leftToRight);
}

TEST(ArgumentReader, MistakesAreUsageErrorsNamingTheArgument) {
    EXPECT_THAT([] { parse({"x", "--value"}); },
                ThrowsMessage<cli::UsageError>("--value needs a value"));
    EXPECT_THAT([] { parse({"--ltr", "--rtl"}); },
                ThrowsMessage<cli::UsageError>("--ltr and --rtl exclude each other"));
    EXPECT_THAT([] { parse({"--colour"}); }, ThrowsMessage<cli::UsageError>("unknown option '--colour'"));
}

TEST(ArgumentReader, GnuForms) {
    const Parsed p = parse({"--value=a=b", "-v", "c", "-vd", "-f", "-", "--", "-v"});
    EXPECT_THAT(p.options, ElementsAre("value=a=b", "value=c", "value=d", "flag"));
    EXPECT_THAT(p.operands, ElementsAre("-", "-v"));
    EXPECT_THAT([] { parse({"--flag=1"}); }, ThrowsMessage<cli::UsageError>("option '--flag' takes no value"));
    EXPECT_THAT([] { parse({"-q"}); }, ThrowsMessage<cli::UsageError>("unknown option '-q'"));
    EXPECT_THAT([] { parse({"-v"}); }, ThrowsMessage<cli::UsageError>("-v needs a value"));
}
