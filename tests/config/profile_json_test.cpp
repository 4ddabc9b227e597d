// Reading a profile's JSON: what is accepted, and that every refusal names
// the field and leaves the block untouched.

#include "config/profile_json.h"

#include <gtest/gtest.h>

#include <cstring>

#include "config/adapter.h"

namespace kelvane {
namespace {

ConfigBlock Reset() {
  CAdapter a;
  return a.Config;
}

TEST(ProfileJson, FieldsOfEveryKindAreStored) {
  ConfigBlock block = Reset();
  std::string error;
  ASSERT_TRUE(BlockFromJson(R"({
    "SerialSettings": {"DteRate": 19200, "DteParity": "E"},
    "BasicSettings": {"S0": -3, "FastDisconnect": 255, "Modulation": "V90A,1,300,56000"},
    "DialSettings": {"StoredNumbers": ["0123", "", "45W", "6"], "BackupNumber": "V90 \u00e9\u00FF\\x"},
    "CallerIdSettings": {"AcceptedNumbers": ["", "", "45\u00e4", "", "", "", "", "", "", ""]},
    "IoSettings": {"Retry": [1, 2, 3, 4, 5, 6, 7, 8, 9, -2147483648]},
    "CallbackSettings": {"CallbackPasswords": ["Gr\u00fc\u00dfe", "", "", "", "", "", "", "", "", ""]}
  })", block, error)) << error;
  EXPECT_EQ(block.serial.DteRate, 19200);
  EXPECT_EQ(block.serial.DteParity, 'E');
  EXPECT_EQ(block.basic.S0, -3);
  EXPECT_EQ(block.basic.FastDisconnect, 255);
  EXPECT_EQ(GetText(block.basic.Modulation), "V90A,1,300,56000");
  EXPECT_EQ(GetText(block.dial.StoredNumbers[2]), "45W");
  EXPECT_EQ(GetText(block.dial.BackupNumber), "V90 \xE9\xFF\\x");
  EXPECT_EQ(GetText(block.callerId.AcceptedNumbers[2]), "45\xE4");
  EXPECT_EQ(block.io.Retry[9], INT32_MIN);
  // Raw UTF-8 in the file means the same single-byte characters.
  EXPECT_EQ(GetText(block.callback.CallbackPasswords[0]), "Gr\xFC\xDF" "e");
  // What the text leaves out keeps its value.
  EXPECT_EQ(block.basic.S7, Reset().basic.S7);
}

TEST(ProfileJson, TextsAtTheirLimits) {
  ConfigBlock block = Reset();
  std::string error;
  const std::string full32 = "V23HDX,1,75000,75000,12000,12000", twenty(20, '9');
  ASSERT_TRUE(BlockFromJson("{\"BasicSettings\": {\"Modulation\": \"" + full32 +
                                "\"}, \"RemoteSettings\": {\"RemotePassword\": \"" + twenty + "\"}}",
                            block, error))
      << error;
  // Modulation may fill all its bytes; other texts keep their zero.
  EXPECT_EQ(std::memcmp(block.basic.Modulation, full32.data(), 32), 0);
  EXPECT_EQ(GetText(block.remote.RemotePassword), twenty);
}

TEST(ProfileJson, RefusalsNameWhatIsWrongAndChangeNothing) {
  struct Case {
    std::string json;
    std::string error;
  };
  const Case cases[] = {
      {R"({"BasicSettings": {"S99": 1}})", "unknown field \"BasicSettings.S99\""},
      {R"({"ModemSettings": {"S0": 1}})", "unknown section \"ModemSettings\""},
      {R"({"BasicSettings": {"S0": "2"}})", "BasicSettings.S0: expected a whole number"},
      {R"({"BasicSettings": {"Modulation": 34}})", "BasicSettings.Modulation: expected a text"},
      {R"({"BasicSettings": {"S0": 2147483648}})", "BasicSettings.S0: 2147483648 is outside the 32-bit range"},
      {R"({"BasicSettings": {"FastDisconnect": 256}})", "BasicSettings.FastDisconnect: 256 is outside 0 to 255"},
      {R"({"BasicSettings": {"S0": 1.5}})", "BasicSettings.S0: expected a whole number"},
      {R"({"SerialSettings": {"DteParity": "NE"}})", "SerialSettings.DteParity: expected one character"},
      {"{\"RemoteSettings\": {\"RemotePassword\": \"" + std::string(21, 'x') + "\"}}",
       "RemoteSettings.RemotePassword: longer than 20 characters"},
      {"{\"BasicSettings\": {\"Modulation\": \"" + std::string(33, 'x') + "\"}}",
       "BasicSettings.Modulation: longer than 32 characters"},
      {R"({"DialSettings": {"StoredNumbers": ["1", "2", "3"]}})",
       "DialSettings.StoredNumbers: expected a list of 4 elements"},
      {R"({"DialSettings": {"StoredNumbers": ["1", "2", 3, "4"]}})", "DialSettings.StoredNumbers[2]: expected a text"},
      {R"({"RemoteSettings": {"RemotePassword": "\u0100"}})",
       "RemoteSettings.RemotePassword: character U+0100 is not a single-byte character"},
      {R"({"RemoteSettings": {"RemotePassword": "a\u0000b"}})", "RemoteSettings.RemotePassword: holds a zero character"},
      {R"({"BasicSettings": {"S0": 1, "S0": 2}})", "BasicSettings.S0 appears twice"},
      {R"({"IoSettings": {"Data6": ["", "", "", "", "", "", "", "", "\"x", ""]}})",
       "IoSettings.Data6[8]: a double quote (\") is not taken: the modem gets this text inside double quotes"},
      // Bare texts carrying commands of their own.
      {R"({"BasicSettings": {"Modulation": "V34;*WRCA=1;S0=1"}})",
       "BasicSettings.Modulation: a semicolon (;) is not taken: the modem would run what follows it as a command of "
       "its own"},
      {R"({"DialSettings": {"StoredNumbers": ["", "", "1;&F", ""]}})", "DialSettings.StoredNumbers[2]: a semicolon (;) is not taken: the modem would run what follows it as a command of "
       "its own"},
      {R"({"BasicSettings": {"Modulation": "V34*WRCP=owned12"}})",
       "BasicSettings.Modulation: \"V34*WRCP=owned12\" is not taken: the modem gets this text bare..."},
      {R"({"BasicSettings": {"Modulation": "V34&F"}})", "BasicSettings.Modulation: \"V34&F\" is not taken..."},
      {R"({"DialSettings": {"StoredNumbers": ["", "555&F", "", ""]}})",
       "DialSettings.StoredNumbers[1]: \"555&F\" is not taken: the modem gets this text bare and would run what "
       "follows its form as commands of its own; it takes only digits, blanks and the dial characters * # + , ! @ A "
       "B C D P T W"},
      {R"({"RemoteSettings": {"RemotePassword": "Gr\u00fc\u00dfe"}})",
       "RemoteSettings.RemotePassword: the password is not taken..."},
      {R"({"RemoteSettings": {"RemotePassword": "ab;&F;x"}})", "RemoteSettings.RemotePassword: a semicolon (;) is not taken: the modem would run what follows it as a command of "
       "its own"},
      // Syntax errors in the library's words, with line and column.
      {"{\"BasicSettings\": {\"S0\": 1}}\n{",
       "line 2, column 1: syntax error while parsing value - unexpected '{'; expected end of input"},
      {"{\"BasicSettings\": {\n\"S0\": }}",
       "line 2, column 7: syntax error while parsing value - unexpected '}'; expected '[', '{', or a literal"},
      {R"({"BasicSettings": {"S0": 1})",
       "line 1, column 28: syntax error while parsing object - unexpected end of input; expected '}'"},
      {"", "line 1, column 1: syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
           "literal"},
      {"{\"RemoteSettings\": {\"RemotePassword\": \"\xE9\"}}",
       "line 1, column 41: syntax error while parsing value - invalid string: ill-formed UTF-8 byte"},
      // Shapes no profile has.
      {R"([{"BasicSettings": {"S0": 1}}])", "expected an object of sections ({\"BasicSettings\": {...}, ...})"},
      {R"({"BasicSettings": [1, 2]})", "BasicSettings: expected an object of fields"},
      {R"({"IoSettings": {"Retry": [{}, 2, 3, 4, 5, 6, 7, 8, 9, 10]}})", "IoSettings.Retry[0]: expected a whole number"},
      {R"({"IoSettings": {"Retry": [[1], 2, 3, 4, 5, 6, 7, 8, 9, 10]}})", "lists or objects nested deeper than a profile's"},
      {"{\"IoSettings\": {\"Retry\": [" + std::string(100000, '[') + "]}}",
       "lists or objects nested deeper than a profile's"},
      {R"({"BasicSettings": {"S0": 18446744073709551615}})",
       "BasicSettings.S0: 18446744073709551615 is outside the 32-bit range"},
      {R"({"BasicSettings": {"S0": 1}, "BasicSettings": {"S7": 1}})", "BasicSettings appears twice"},
  };
  for (const Case& c : cases) {
    ConfigBlock block = Reset();
    block.basic.S0 = 7;
    const ConfigBlock before = block;
    std::string error;
    EXPECT_FALSE(BlockFromJson(c.json, block, error)) << c.json;
    // "..." ends a message whose rest is the form the field takes.
    if (c.error.ends_with("...")) {
      EXPECT_EQ(error.substr(0, c.error.size() - 3), c.error.substr(0, c.error.size() - 3)) << c.json;
    } else {
      EXPECT_EQ(error, c.error) << c.json;
    }
    EXPECT_EQ(std::memcmp(&block, &before, sizeof block), 0) << c.json;
  }
}

}  // namespace
}  // namespace kelvane
