#include <gmock/gmock.h>

#include <memory>

#include "core/cvvars.h"
#include "firmware/cvacpi.h"
#include "hw/hwfixture.h"
#include "platform/acpictl.h"
#include "platform/sim/simacpi.h"

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;
using V = TAcpiVariant;

namespace {

// One ACPI device whose methods answer by name; everything else fails.
const char* const EvalBoard = R"({
  "driver": {"major": 2, "minor": 3},
  "devices": [{"enumerator": "ACPI", "physicalDeviceObject": "\\Device\\00000045",
               "hardwareIds": ["ACPI\\ATK0110"],
               "acpiMethods": {
                 "MBIF": 0, "GGRP": 0, "TEST": 0,
                 "NEG1": {"integer": "0xFFFFFFFF"},
                 "ABC_": "ABC",
                 "NONE": {"package": []},
                 "PACK": {"package": [1, "X", {"buffer": "01 02"}, {"package": [2]}]},
                 "BIG_": {"buffer": "00"},
                 "FAIL": {"fails": "0xC0000034"},
                 "MORE": {"answer": 1, "quirk": "alwaysMoreData"},
                 "CNT_": {"answer": {"package": [1, 2]}, "quirk": "wrongCount"},
                 "CUT_": {"answer": {"package": [1, "ABCDEF"]}, "quirk": "cutOff"},
                 "WIDE": {"answer": {"package": [7, 8]}, "quirk": "wideIntegers"}
               }}]
})";

Bytes Hex(const std::string& text) {
    Bytes b;
    for (std::size_t i = 0; i + 1 < text.size(); i += 3) b.push_back(std::uint8_t(std::stoi(text.substr(i, 2), nullptr, 16)));
    return b;
}

class AcpiEvalTest : public HwTest {
protected:
    AcpiEvalTest() {
        machine().loadFromJson(EvalBoard, "eval");
        device_ = platform::current().openDevice("\\\\.\\caldavor\\Device\\00000045").device;
    }

    TAcpiVariantArray Eval(const std::string& name, const TAcpiVariantArray& args = {}, bool ex = false,
                           bool verbose = false) {
        TAcpiVariantArray results{V::OfInt(99)};
        (ex ? EVAL_EX : EVAL)(device_.get(), name, args, results, [&](const std::string& l) { lines.push_back(l); },
                              verbose);
        return results;
    }
    std::string ErrorOf(const std::string& name, const TAcpiVariantArray& args = {}, bool ex = false,
                        platform::Device* handle = nullptr, bool useDevice = true) {
        TAcpiVariantArray results{V::OfInt(99)};
        try {
            (ex ? EVAL_EX : EVAL)(useDevice ? device_.get() : handle, name, args, results, nullptr, false);
        } catch (const EAcpiError& e) {
            EXPECT_TRUE(results.empty());
            return e.what();
        }
        return "no error";
    }
    const std::vector<platform::sim::NamespaceRequest>& Requests() { return machine().namespaceLog().requests; }

    std::unique_ptr<platform::Device> device_;
    std::vector<std::string> lines;
};

TEST_F(AcpiEvalTest, InputBlocksAreLaidOutByteForByte) {
    const struct {
        const char* name;
        TAcpiVariantArray args;
        const char* block;
    } cases[] = {
        {"MBIF", {}, "41 65 69 42 4D 42 49 46"},
        {"GGRP", {V::OfInt(6)}, "41 65 69 49 47 47 52 50 06 00 00 00"},
        {"TEST", {V::OfText("AB")}, "41 65 69 53 54 45 53 54 02 00 00 00 41 42"},
        {"TEST", {V::OfInt(1), V::OfUInt(2)},
         "41 65 69 43 54 45 53 54 10 00 00 00 02 00 00 00 00 00 04 00 01 00 00 00 00 00 04 00 02 00 00 00"},
        // A two-letter text gets its zero and fills the four data bytes; four letters take 4 + 5.
        {"TEST", {V::OfText("AB"), V::OfInt(-1)},
         "41 65 69 43 54 45 53 54 10 00 00 00 02 00 00 00 01 00 03 00 41 42 00 00 00 00 04 00 FF FF FF FF"},
        {"TEST", {V::OfText("ABCD"), V::OfInteger(0x1234, 16, false)},
         "41 65 69 43 54 45 53 54 11 00 00 00 02 00 00 00 01 00 05 00 41 42 43 44 00 00 00 04 00 34 12 00 00"},
        // A byte array alone is complex.
        {"TEST", {V::OfBytes({1, 2, 3})}, "41 65 69 43 54 45 53 54 08 00 00 00 01 00 00 00 02 00 03 00 01 02 03 00"},
    };
    for (const auto& c : cases) {
        Eval(c.name, c.args);
        EXPECT_EQ(Requests().back().code, 0x32C004u);
        EXPECT_EQ(Requests().back().input, Hex(c.block)) << c.block;
        EXPECT_EQ(Requests().back().outputSize, 640u);
    }
}

TEST_F(AcpiEvalTest, ExtendedBlocksCarryThePathInA256ByteField) {
    const std::string path = "\\_SB.PCI0.TEST";
    auto header = [&](const char* sig) {
        Bytes b(sig, sig + 4);
        b.insert(b.end(), path.begin(), path.end());
        b.resize(260, 0);
        return b;
    };
    Eval(path, {V::OfInt(-2)}, true);
    Bytes integer = header("AeiD");
    for (int i = 0; i < 8; ++i) integer.push_back(i == 0 ? 0xFE : 0xFF);
    EXPECT_EQ(Requests().back().code, 0x32C018u);
    EXPECT_EQ(Requests().back().input, integer);

    Eval(path, {V::OfText("Hi")}, true);
    Bytes text = header("AeiE");
    text.insert(text.end(), {2, 0, 0, 0, 'H', 'i'});
    EXPECT_EQ(Requests().back().input, text);

    Eval(path, {}, true);
    EXPECT_EQ(Requests().back().input, header("AeiA"));

    // 255 characters reach the device (which knows no such method); 256 never do.
    const std::string longest = "\\" + std::string(249, 'A') + ".TEST";
    ASSERT_EQ(longest.size(), 255u);
    EXPECT_NO_THROW(Eval(longest, {}, true));
    EXPECT_EQ(Requests().back().input.size(), 260u);
    const auto sent = Requests().size();
    EXPECT_EQ(ErrorOf(longest + "X", {}, true), "Invalid method name (wrong length)");
    EXPECT_EQ(Requests().size(), sent);
}

TEST_F(AcpiEvalTest, FailuresRaiseTheirTexts) {
    EXPECT_EQ(ErrorOf("ABC"), "Invalid method name (wrong length)");
    EXPECT_EQ(ErrorOf("MBIF0"), "Invalid method name (wrong length)");
    EXPECT_EQ(ErrorOf("", {}, true), "Invalid method name (wrong length)");
    EXPECT_EQ(ErrorOf("MBIF", {}, false, nullptr, false), "Invalid handle");
    EXPECT_EQ(ErrorOf("TEST", {V{}}), "Can't handle InParams[0] of type 0");
    EXPECT_EQ(ErrorOf("TEST", {V::OfInt(1), V{}}), "Can't handle InParams[1] of type 0");
    EXPECT_EQ(ErrorOf("FAIL"), "Error evaluating ACPI method FAIL ($C0000034)");
    EXPECT_EQ(ErrorOf("XXXX"), "Error evaluating ACPI method XXXX ($C0000034)");
}

TEST_F(AcpiEvalTest, ResultsAreDecodedByElementType) {
    EXPECT_TRUE(Eval("NONE").empty());
    const auto neg = Eval("NEG1");
    ASSERT_EQ(neg.size(), 1u);
    EXPECT_EQ(neg[0].Integer, -1);
    EXPECT_EQ(VariantTypeName(neg[0].VarType()), "integer");
    EXPECT_THAT(Eval("ABC_")[0].Text, "ABC");

    const auto pack = Eval("PACK");
    ASSERT_EQ(pack.size(), 4u);
    EXPECT_EQ(pack[0].Integer, 1);
    EXPECT_EQ(pack[1].Text, "X");
    EXPECT_EQ(pack[2].Bytes, Bytes({1, 2}));
    // A nested package comes back as its raw elements.
    EXPECT_EQ(pack[3].Bytes, Hex("00 00 04 00 02 00 00 00"));
}

TEST_F(AcpiEvalTest, TextBytesOutsidePrintableComeBackAsDots) {
    auto methods = std::make_shared<platform::sim::SimAcpiMethods>();
    platform::sim::SimAcpiCase text;
    text.script.push_back({platform::sim::SimAcpiValue::Kind::String, 0, "caf\xE9\x01", {}, {}});
    methods->add("E9ST", {text});
    machine().devices()[0].acpiMethods = methods;
    device_ = platform::current().openDevice("\\\\.\\caldavor\\Device\\00000045").device;
    EXPECT_EQ(Eval("E9ST")[0].Text, "caf..");
}

TEST_F(AcpiEvalTest, TheOutputGrowsToTheLengthTheDriverAsksFor) {
    auto& methods = *machine().devices()[0].acpiMethods;
    platform::sim::SimAcpiCase big;
    big.script.push_back({platform::sim::SimAcpiValue::Kind::Buffer, 0, {}, Bytes(984, 0x41), {}});
    methods.add("BIG_", {big});
    const auto results = Eval("BIG_", {}, false, true);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].Bytes.size(), 984u);
    ASSERT_EQ(Requests().size(), 2u);
    EXPECT_EQ(Requests()[0].outputSize, 640u);
    EXPECT_EQ(Requests()[1].outputSize, 1000u);
    EXPECT_EQ(lines[1], "Increased output buffer size for ACPI method BIG_ to 50 elements");
}

TEST_F(AcpiEvalTest, ADriverAskingForMoreForeverStopsAtOneMebibyte) {
    EXPECT_EQ(ErrorOf("MORE"), "Error evaluating ACPI method MORE ($000000EA)");
    ASSERT_EQ(Requests().size(), 12u);
    EXPECT_EQ(Requests()[1].outputSize, 1280u);
    EXPECT_EQ(Requests()[10].outputSize, 655360u);
    EXPECT_EQ(Requests()[11].outputSize, 1048576u);
}

TEST_F(AcpiEvalTest, OddAnswersAreWalkedWithinTheirBytes) {
    EXPECT_EQ(Eval("CNT_").size(), 2u);
    // The cut-off string is not decoded.
    const auto cut = Eval("CUT_");
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].Integer, 1);
    const auto wide = Eval("WIDE");
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0].Integer, 7);
    EXPECT_EQ(wide[1].Integer, 8);
}

// A driver that claims success with whatever bytes a test gives.
class FixedAnswer : public platform::Device {
public:
    explicit FixedAnswer(Bytes answer) : answer_(std::move(answer)) {}
    bool control(std::uint32_t, std::span<const std::uint8_t>, std::span<std::uint8_t> output,
                 std::uint32_t& returned) override {
        std::copy(answer_.begin(), answer_.end(), output.begin());
        returned = static_cast<std::uint32_t>(answer_.size());
        return true;
    }

private:
    Bytes answer_;
};

TEST_F(AcpiEvalTest, EmptyOrOverclaimingAnswersNeverReadPastTheirBytes) {
    const Bytes answers[] = {
        {},
        Hex("41 65 6F 42 FF FF FF FF FF FF FF FF"),
        Hex("41 65 6F 42 20 00 00 00 05 00 00 00 02 00 F0 FF 01 02 03 04"),
    };
    for (const Bytes& answer : answers) {
        FixedAnswer device(answer);
        TAcpiVariantArray results;
        EVAL(&device, "TEST", {}, results, [](const std::string&) {}, true);
        EXPECT_TRUE(results.empty());
    }
}

TEST_F(AcpiEvalTest, VerboseEvaluationTracesTheBlockAndEachElement) {
    Eval("NEG1", {}, false, true);
    EXPECT_THAT(lines, ElementsAre("Executing EVAL of NEG1", "NEG1 returned 20 bytes", "  Signature=<AeoB>",
                                   "  Length=20", "  Count=1",
                                   "   41 65 6F 42 14 00 00 00 01 00 00 00 00 00 04 00 AeoB............",
                                   "   FF FF FF FF                                     ....",
                                   "  Argument[0].dataI=-1", "Releasing output buffer for ACPI method NEG1"));
    lines.clear();
    Eval("PACK", {}, false, true);
    EXPECT_THAT(lines, ::testing::Contains("  Argument[2].dataB=01 02 - .."));
    lines.clear();
    Eval("NEG1");
    EXPECT_TRUE(lines.empty());
}

TEST(AcpiHelpers, ComplexArgumentsAndTextMatching) {
    EXPECT_FALSE(HasComplexAcpiArgs({}));
    EXPECT_FALSE(HasComplexAcpiArgs({V::OfText("A")}));
    EXPECT_TRUE(HasComplexAcpiArgs({V::OfBytes({})}));
    EXPECT_TRUE(HasComplexAcpiArgs({V::OfInt(1), V::OfInt(2)}));
    EXPECT_TRUE(TextContains("ACPI\\ATK0110;*ATK0110", "acpi\\atk0110"));
    EXPECT_FALSE(TextContains("ACPI\\PNP0C09", "acpi\\thermalzone"));
    EXPECT_EQ(V::OfBytes({'V', 'S', 'N', '0', 0, 'x'}).AsText(), "VSN0");
    EXPECT_EQ(V::OfInt(-5).AsText(), "-5");
    EXPECT_EQ(VariantTypeName(V::OfUInt(5).VarType()), "longword");
    EXPECT_EQ(VariantTypeName(V::OfText("").VarType()), "string");
    EXPECT_THROW(V::OfInteger(256, 8, false), EAcpiError);
}

}  // namespace
