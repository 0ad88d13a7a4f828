// The command line: every form the program accepts, and every mistake with its message.

#include "prober/options.h"

#include <gtest/gtest.h>

namespace {

using Mode = prober::Options::Mode;

struct LineCase
{
    const char* name;
    QStringList args; // after the program name
    Mode mode;
    const char* contains; // in the text (help, version, error), or the listen address
};

void PrintTo(const LineCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandLine : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(CommandLine, ReadsAsExpected)
{
    const LineCase& c = GetParam();
    const prober::Options o =
        prober::parseCommandLine(QStringList{QStringLiteral("quillnet")} + c.args);
    EXPECT_EQ(int(o.mode), int(c.mode)) << o.text.toStdString();
    const QString wanted = QString::fromUtf8(c.contains);
    if (c.mode == Mode::Window && !wanted.isEmpty()) {
        ASSERT_TRUE(o.metricsListen);
        EXPECT_EQ(o.metricsListen->text(), wanted);
    } else if (c.mode == Mode::Window) {
        EXPECT_FALSE(o.metricsListen) << "no option must mean the window alone";
    } else if (c.mode == Mode::Headless) {
        EXPECT_EQ(o.configFile, wanted);
    } else {
        EXPECT_TRUE(o.text.contains(wanted)) << o.text.toStdString();
    }
    if (c.mode == Mode::Error) {
        EXPECT_FALSE(o.text.contains(u'\n')) << "one line: " << o.text.toStdString();
    }
}

const auto S = [](const char* s) { return QString::fromUtf8(s); };

INSTANTIATE_TEST_SUITE_P(
    Prober, CommandLine,
    ::testing::Values(
        LineCase{"Nothing", {}, Mode::Window, ""},
        LineCase{"PortOnly", {S("--metrics-listen"), S("9464")}, Mode::Window, "127.0.0.1:9464"},
        LineCase{"AddressAndPort", {S("--metrics-listen=0.0.0.0:1")}, Mode::Window, "0.0.0.0:1"},
        LineCase{
            "HighestPort", {S("--metrics-listen"), S("65535")}, Mode::Window, "127.0.0.1:65535"},
        LineCase{"Headless",
                 {S("--headless"), S("--config"), S("/etc/p.ini")},
                 Mode::Headless,
                 "/etc/p.ini"},
        LineCase{"HeadlessListen",
                 {S("--config=a.ini"), S("--metrics-listen=9000"), S("--headless")},
                 Mode::Headless,
                 "a.ini"},
        LineCase{"Help", {S("--help")}, Mode::Help, "--headless"},
        LineCase{"ShortHelp", {S("-h")}, Mode::Help, "Usage: quillnet"},
        LineCase{"Version", {S("--version")}, Mode::Version, "quillnet 2."},
        LineCase{"Unknown", {S("--bogus")}, Mode::Error, "bogus"},
        LineCase{"QtStyleOption", {S("-platform"), S("xcb")}, Mode::Error, "Unknown option"},
        LineCase{"Positional", {S("host.example")}, Mode::Error, "host.example"},
        LineCase{"ListenWithoutValue", {S("--metrics-listen")}, Mode::Error, "metrics-listen"},
        LineCase{"PortZero", {S("--metrics-listen=0")}, Mode::Error, "1 to 65535"},
        LineCase{"PortTooHigh", {S("--metrics-listen=65536")}, Mode::Error, "65536"},
        LineCase{"PortText", {S("--metrics-listen=http")}, Mode::Error, "1 to 65535"},
        LineCase{"PortSigned", {S("--metrics-listen=+80")}, Mode::Error, "1 to 65535"},
        LineCase{"EmptyAddress", {S("--metrics-listen=:80")}, Mode::Error, "IPv4"},
        LineCase{"HostName", {S("--metrics-listen=localhost:80")}, Mode::Error, "localhost"},
        LineCase{"Ipv6", {S("--metrics-listen=[::1]:80")}, Mode::Error, "IPv6"},
        LineCase{"BadQuad", {S("--metrics-listen=127.0.0.256:80")}, Mode::Error, "127.0.0.256"},
        LineCase{"HeadlessWithoutConfig", {S("--headless")}, Mode::Error, "--config"},
        LineCase{"ConfigWithoutHeadless", {S("--config"), S("a.ini")}, Mode::Error, "--headless"},
        LineCase{"ConfigTwice",
                 {S("--headless"), S("--config=a.ini"), S("--config=b.ini")},
                 Mode::Error,
                 "more than once"},
        LineCase{"ListenTwice",
                 {S("--metrics-listen=1"), S("--metrics-listen=2")},
                 Mode::Error,
                 "more than once"}),
    [](const auto& testCase) { return std::string(testCase.param.name); });

} // namespace
