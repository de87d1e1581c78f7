#include "cli/cli_values.h"

#include <string>

#include "cli_fixture.h"
#include "test_support.h"

namespace brasswick::testing {
namespace {

class CliValuesTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_TRUE(Load("{'commands':[{'name':'go'}]}"));
  }
  // CheckValue on a fresh error state; returns "" on success, else the message.
  std::string Check(const std::string& value, const std::string& type,
                    const std::string& label = "x") {
    Cli().error = CliError();
    bool ok = CheckValue(value, type, label);
    EXPECT_EQ(ok, Code() == 0);
    return ok ? "" : Message();
  }
};

TEST(CliNumericText, FollowsTheDigitRules) {
  EXPECT_TRUE(IsNumericText("12", false, false));
  EXPECT_FALSE(IsNumericText("-12", false, false));
  EXPECT_TRUE(IsNumericText("-12", false, true));
  EXPECT_FALSE(IsNumericText("1.5", false, true));
  EXPECT_TRUE(IsNumericText("1.5", true, true));
  EXPECT_TRUE(IsNumericText(".5", true, false));
  EXPECT_TRUE(IsNumericText("5.", true, false));
  EXPECT_FALSE(IsNumericText("1.2.3", true, true));
  EXPECT_FALSE(IsNumericText("", true, true));
  EXPECT_FALSE(IsNumericText("-", true, true));
  EXPECT_FALSE(IsNumericText(".", true, true));
  EXPECT_FALSE(IsNumericText("--1", true, true));
  EXPECT_FALSE(IsNumericText(" 1", true, true));
  EXPECT_FALSE(IsNumericText("+1", true, true));
  EXPECT_FALSE(IsNumericText("1e5", true, true));
}

TEST(CliNumericText, LeadingInteger) {
  EXPECT_EQ(LeadingInteger("42"), 42);
  EXPECT_EQ(LeadingInteger("-7.9"), -7);
  EXPECT_EQ(LeadingInteger("12abc"), 12);
  EXPECT_EQ(LeadingInteger("abc"), 0);
  EXPECT_EQ(LeadingInteger(""), 0);
  EXPECT_EQ(LeadingInteger("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(LeadingInteger("9223372036854775808"), INT64_MAX);
  EXPECT_EQ(LeadingInteger("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(LeadingInteger("-99999999999999999999"), INT64_MIN);
}

TEST_F(CliValuesTest, BlankValues) {
  EXPECT_EQ(Check("  ", "string"), "");
  EXPECT_EQ(Check("", "text"), "");
  EXPECT_EQ(Check("", ""), "");
  EXPECT_EQ(Check(" \t", "int"), "'x' cannot be blank");
  EXPECT_EQ(Check("", "file"), "'x' cannot be blank");
  EXPECT_EQ(Check(" ", "non-blank"), "'x' cannot be blank");
  EXPECT_EQ(Check("", "nonempty", ""), "'argument' cannot be blank");
  EXPECT_EQ(Check("a", "nonblank"), "");
  EXPECT_EQ(Check("any*pattern", "file-pattern"), "");
}

TEST_F(CliValuesTest, Integers) {
  EXPECT_EQ(Check("-3", "int"), "");
  EXPECT_EQ(Check("3.0", "integer"), "'x' expects an integer, got '3.0'");
  EXPECT_EQ(Check(" 3", "int"), "'x' expects an integer, got ' 3'");
  EXPECT_EQ(Check("1", "int-pos"), "");
  EXPECT_EQ(Check("0", "int-pos"), "'x' must be positive");
  EXPECT_EQ(Check("-0", "int-nonneg"), "");
  EXPECT_EQ(Check("-1", "int-nonneg"), "'x' must be non-negative");
  EXPECT_EQ(Check("abc", "int-pos"), "'x' expects an integer, got 'abc'");
  EXPECT_EQ(Code(), 45);
}

TEST_F(CliValuesTest, Numbers) {
  EXPECT_EQ(Check("-2.5", "number"), "");
  EXPECT_EQ(Check("1e3", "num"), "'x' expects a number, got '1e3'");
  EXPECT_EQ(Check("0.001", "number-pos"), "");
  EXPECT_EQ(Check("0.000", "num-pos"), "'x' must be positive");
  EXPECT_EQ(Check("-0.5", "number-pos"), "'x' must be positive");
  EXPECT_EQ(Check("-0.0", "number-nonneg"), "");
  EXPECT_EQ(Check("-.1", "num-nonneg"), "'x' must be non-negative");
  std::string huge(500, '9');
  EXPECT_EQ(Check(huge, "number-pos"), "");
}

TEST_F(CliValuesTest, Booleans) {
  for (const char* word : {"0", "FALSE", "f", "no", "n", "dis", "disable", "disabled", "off", "1",
                           " True ", "t", "yes", "Y", "en", "enable", "enabled", "on"}) {
    EXPECT_EQ(Check(word, "bool"), "") << word;
  }
  EXPECT_EQ(Check("maybe", "boolean"), "'x' expects a boolean, got 'maybe'");
}

TEST_F(CliValuesTest, FileTypes) {
  TempDir dir;
  const std::string file = dir.File("a.p8");
  WriteTestFile(file, "x");
  const std::string missing = dir.File("missing.p8");
  EXPECT_EQ(Check(file, "file-exists"), "");
  EXPECT_EQ(Check(missing, "file-exist"), "'x' file does not exist: " + missing);
  EXPECT_EQ(Code(), 46);
  EXPECT_EQ(Check(dir.path(), "file-exists"), "'x' must be a file, not a directory: " + dir.path());
  EXPECT_EQ(Check(missing, "file-notexist"), "");
  EXPECT_EQ(Check(file, "file-notexist"), "'x' file already exists: " + file);
  EXPECT_EQ(Check(dir.path(), "file-notexist"), "'x' already exists (folder): " + dir.path());
  EXPECT_EQ(Check(missing, "file-confirm"), "");
  EXPECT_EQ(Check(dir.path(), "file-overwrite"), "'x' exists as a directory: " + dir.path());
}

TEST_F(CliValuesTest, KnownTypes) {
  EXPECT_TRUE(IsKnownArgType("file-overwrite"));
  EXPECT_TRUE(IsKnownArgType("non-blank"));
  EXPECT_FALSE(IsKnownArgType("float"));
  EXPECT_FALSE(IsKnownArgType("Int"));
}

}  // namespace
}  // namespace brasswick::testing
