#include "report/cvsignatures.h"

#include <gtest/gtest.h>

#include "core/cvmonitor.h"
#include "support/testmachine.h"

namespace {

using Lines = std::vector<std::string>;

const Lines NoNames(int n) {
    Lines lines;
    for (const char* label : {"RDN", "EMAIL", "SIMPLE DISPLAY", "FRIENDLY DISPLAY", "DNS", "URL", "UPN"})
        lines.push_back("    " + std::to_string(n) + " - " + label + " = ");
    return lines;
}

Lines Join(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

const char* const Signer = R"({"codeSigning": true, "rdn": "CN=Virel S.R.L., O=Virel", "simpleDisplay": " Virel S.R.L.\t",
    "friendlyDisplay": "Virel", "url": "http://virel.example"})";

// The board's signatures section (none when empty); the program file exists unless told.
TSignatureChecker Check(testsupport::TestMachine& machine, const std::string& section, bool fileExists = true) {
    if (!section.empty()) machine->loadFromJson("{\"signatures\": " + section + "}", "sig.json");
    const std::string path = machine.programDir() + "caldavor.exe";
    if (fileExists) testsupport::writeFile(path, "MZ");
    TSignatureChecker checker(path);
    checker.Check();
    return checker;
}

const Lines Opened = {"IH properly linked", "File properly opened"};

TEST(Signatures, LogsEveryStepByCase) {
    const Lines signerLines = {"Found a certificate in store",
                               "    1 - RDN = CN=Virel S.R.L., O=Virel",
                               "    1 - EMAIL = ",
                               "    1 - SIMPLE DISPLAY = Virel S.R.L.",
                               "    1 - FRIENDLY DISPLAY = Virel",
                               "    1 - DNS = ",
                               "    1 - URL = http://virel.example",
                               "    1 - UPN = "};
    const struct {
        const char* name;
        std::string section;
        bool trusted;
        std::size_t blobs;
        Lines log;
    } cases[] = {
        {"unsigned", R"({})", false, 0,
         Join({{"WT properly linked", "No signature found on the file"}, Opened, {"IEC returned 0", "File closed"}})},
        {"one certificate",
         std::string(R"({"files": {"CALDAVOR.EXE": {"trust": "0x0", "blobs": [{"certificates": [)") + Signer + "]}]}}}",
         true, 1,
         Join({{"WT properly linked", "File signature is OK"}, Opened,
               {"IEC returned 1", "Size of certificate #0 is 31", "Got certificate #0", "Crypt32 properly linked"},
               signerLines, {"File closed"}})},
        {"no code-signing usage",
         R"({"files": {"caldavor.exe": {"trust": "0x800B0004", "blobs": [{"certificates": [{"codeSigning": false}]}]}}})",
         false, 1,
         Join({{"WT properly linked", "File is not trusted"}, Opened,
               {"IEC returned 1", "Size of certificate #0 is 31", "Got certificate #0", "Crypt32 properly linked",
                "No Code Signing certificates found!", "File closed"}})},
        {"two blobs",
         std::string(R"({"files": {"caldavor.exe": {"trust": "0x80096010", "blobs": [{"certificates": [)") + Signer +
             "]}, {\"certificates\": [{}, " + Signer + "]}]}}}",
         false, 2,
         Join({{"WT properly linked", "The signature of the file is invalid"}, Opened,
               {"IEC returned 2", "Size of certificate #0 is 31", "Got certificate #0", "Crypt32 properly linked"},
               signerLines,
               {"Size of certificate #1 is 31", "Got certificate #1", "Crypt32 properly linked",
                "Found a certificate in store"},
               NoNames(1), {signerLines[0]},
               {"    2 - RDN = CN=Virel S.R.L., O=Virel", "    2 - EMAIL = ", "    2 - SIMPLE DISPLAY = Virel S.R.L.",
                "    2 - FRIENDLY DISPLAY = Virel", "    2 - DNS = ", "    2 - URL = http://virel.example",
                "    2 - UPN = ", "File closed"}})},
        {"blobs that cannot be read",
         R"({"files": {"caldavor.exe": {"trust": "0x800B0001",
             "blobs": [{"sizeQueryFails": true}, {"dataFails": true}, {"storeFails": true}]}}})",
         false, 1,
         Join({{"WT properly linked", "No trust provider on this machine can verify this type of file"}, Opened,
               {"IEC returned 3", "Error getting size of certificate #0", "Size of certificate #1 is 31",
                "Error getting certificate #1", "Size of certificate #2 is 31", "Got certificate #2",
                "Crypt32 properly linked", "File closed"}})},
        {"enumeration fails", R"({"files": {"caldavor.exe": {"trust": "0x12AB", "enumerateFails": true}}})", false, 0,
         Join({{"WT properly linked", "WinVerifyTrust failed with error $000012AB"}, Opened,
               {"Error enumerating certificates", "File closed"}})},
        {"missing entry points",
         R"({"absent": ["WinVerifyTrust", "ImageGetCertificateData"]})", false, 0,
         {"WT properly linked", "Error linking to WinVerifyTrust", "Error linking to ImageGetCertificateData"}},
        {"missing crypt32 entry points",
         std::string(R"({"absent": ["CertOpenStore", "CertGetNameStringA"],
             "files": {"caldavor.exe": {"trust": "0x0", "blobs": [{"certificates": [)") + Signer + "]}]}}}",
         true, 1,
         Join({{"WT properly linked", "File signature is OK"}, Opened,
               {"IEC returned 1", "Size of certificate #0 is 31", "Got certificate #0", "Error linking to CertOpenStore",
                "Error linking to CertGetNameString", "File closed"}})},
        {"no trust library", R"({"absent": ["WinTrust.dll", "crypt32.dll"]})", false, 0,
         Join({Opened, {"IEC returned 0", "File closed"}})},
    };
    for (const auto& c : cases) {
        testsupport::TestMachine machine;
        const TSignatureChecker checker = Check(machine, c.section);
        EXPECT_EQ(checker.Log, c.log) << c.name;
        EXPECT_EQ(checker.Trusted, c.trusted) << c.name;
        EXPECT_EQ(checker.Certificates.size(), c.blobs) << c.name;
        EXPECT_EQ(machine->simLibraries().loaded("crypt32.dll") + machine->simLibraries().loaded("imagehlp.dll") +
                      machine->simLibraries().loaded("WinTrust.dll"),
                  0)
            << "no library stays loaded: " << c.name;
    }
}

TEST(Signatures, AFileThatCannotBeOpenedListsNothing) {
    testsupport::TestMachine machine;
    const auto checker = Check(machine, R"({"files": {"caldavor.exe": {"trust": "0x0"}}})", false);
    EXPECT_EQ(checker.Log, (Lines{"WT properly linked", "File signature is OK", "IH properly linked", "Error opening file"}));
    EXPECT_TRUE(checker.Certificates.empty());
}

TEST(Signatures, WithoutTheLibrariesNothingCanBeChecked) {
    testsupport::TestMachine machine;
    const auto checker = Check(machine, "");
    EXPECT_TRUE(checker.Log.empty());
    EXPECT_EQ(checker.TrustResult, TSignatureChecker::TrustUnavailable);
    EXPECT_EQ(machine->simLibraries().loadRequests(), (Lines{"WinTrust.dll", "imagehlp.dll"}));
    EXPECT_FALSE(CheckFileSignatures(machine.programDir() + "caldavor.exe").Checked);
}

TEST(Signatures, TheStartUpComparesTheSignersSimpleDisplayName) {
    const struct {
        std::string section;
        bool result;
        std::string verdict;
    } cases[] = {
        {std::string(R"({"files": {"caldavor.exe": {"trust": "0x0", "blobs": [{"certificates": [)") + Signer + "]}]}}}",
         true, "FILE <%s> IS TRUSTED"},
        {R"({"files": {"caldavor.exe": {"trust": "0x0", "blobs": [{"certificates": [{"rdn": "CN=Virel S.R.L."}]}]}}})",
         false, "FILE <%s> IS TRUSTED"},
        {"{}", false, "FILE <%s> IS NOT TRUSTED"},
        {"", false, "FILE <%s> CANNOT BE CHECKED"},
    };
    for (const auto& c : cases) {
        testsupport::TestMachine machine;
        if (!c.section.empty()) machine->loadFromJson("{\"signatures\": " + c.section + "}", "sig.json");
        const std::string path = machine.programDir() + "caldavor.exe";
        testsupport::writeFile(path, "MZ");
        TMonitor monitor;
        TLogBoxRecorder boxes;
        monitor.Log.SetBoxes(&boxes);
        monitor.SignatureChecker = CheckFileSignatures;
        EXPECT_EQ(monitor.IO.CheckFileSignature(path, "VIREL s.r.l."), c.result) << c.section;
        const std::string verdict = c.verdict.substr(0, c.verdict.find("%s")) + path + c.verdict.substr(c.verdict.find("%s") + 2);
        EXPECT_NE(std::find(boxes.Info.begin(), boxes.Info.end(), verdict), boxes.Info.end()) << c.section;
    }
}

}  // namespace
