#include "report/cvsignatures.h"

#include <algorithm>
#include <fstream>

#include "base/cvformat.h"
#include "core/cvtext.h"
#include "platform/platform.h"

using cvformat::Format;
namespace sig = platform::signatures;

namespace {

constexpr const char* VerifyActionGenericVerifyV2 = "{C6B2E8D0-E005-11CF-A134-00C04FD7BF43}";

const char* SubjectType(std::uint8_t mode) {
    switch (mode) {
        case 0: return "{959DC450-8D9E-11CF-8736-00AA00A485EB}";  // raw file
        case 2: return "{08AD3990-8DA1-11CF-8736-00AA00A485EB}";  // class file
        case 3: return "{D17C5374-A392-11CF-9DF5-00AA00C184E0}";  // cabinet
        default: return "{43C9A1E0-8DA0-11CF-8736-00AA00A485EB}";  // PE image
    }
}

std::string TrustResultText(std::uint32_t result) {
    static const std::pair<std::uint32_t, const char*> texts[] = {
        {0, "File signature is OK"},
        {0x800B0100, "No signature found on the file"},
        {0x80096010, "The signature of the file is invalid"},
        {0x800B0001, "No trust provider on this machine can verify this type of file"},
        {0x800B0004, "File is not trusted"},
    };
    for (const auto& [code, text] : texts)
        if (code == result) return text;
    return Format("WinVerifyTrust failed with error $%.8x", {result});
}

template <class Signature>
bool BindEntry(const platform::Library& library, const char* name, const char* logName,
               std::function<Signature>& target, std::vector<std::string>& log) {
    target = library.entry<Signature>(name);
    if (!target) log.push_back(std::string("Error linking to ") + logName);
    return static_cast<bool>(target);
}

std::string TrimmedName(const std::vector<char>& buffer) {
    return Trim(std::string_view(buffer.data(), buffer.size()));
}

}  // namespace

bool TSignatureChecker::BindCrypt32() {
    crypt32_.Library = platform::current().libraries().load(sig::Crypt32);
    if (!crypt32_.Library) return false;
    const auto& library = *crypt32_.Library;
    bool bound = BindEntry(library, sig::CertOpenStore, "CertOpenStore", crypt32_.CertOpenStore, Log);
    bound = BindEntry(library, sig::CertFindCertificateInStore, "CertFindCertificateInStore",
                      crypt32_.CertFindCertificateInStore, Log) && bound;
    bound = BindEntry(library, sig::CertCloseStore, "CertCloseStore", crypt32_.CertCloseStore, Log) && bound;
    bound = BindEntry(library, sig::CertGetNameStringA, "CertGetNameString", crypt32_.CertGetNameStringA, Log) && bound;
    if (bound) AddLog("Crypt32 properly linked");
    return bound;
}

bool TSignatureChecker::BindImageHlp() {
    imageHlp_.Library = platform::current().libraries().load(sig::ImageHlp);
    if (!imageHlp_.Library) return false;
    const auto& library = *imageHlp_.Library;
    bool bound = BindEntry(library, sig::ImageEnumerateCertificates, "ImageEnumerateCertificates",
                           imageHlp_.ImageEnumerateCertificates, Log);
    bound = BindEntry(library, sig::ImageGetCertificateData, "ImageGetCertificateData",
                      imageHlp_.ImageGetCertificateData, Log) && bound;
    if (bound) AddLog("IH properly linked");
    return bound;
}

std::uint32_t TSignatureChecker::VerifyTrust(const std::string& fileName, std::uint8_t mode) {
    Trusted = false;
    const auto library = platform::current().libraries().load(sig::WinTrust);
    if (!library) return TrustUnavailable;
    AddLog("WT properly linked");
    const auto winVerifyTrust = library->entry<sig::VerifyTrustCall>(sig::WinVerifyTrust);
    if (!winVerifyTrust) {
        AddLog("Error linking to WinVerifyTrust");
        return TrustUnavailable;
    }
    const std::uint32_t result = winVerifyTrust(VerifyActionGenericVerifyV2, SubjectType(mode),
                                                fileName);
    AddLog(TrustResultText(result));
    Trusted = result == 0;
    return result;
}

void TSignatureChecker::Check() {
    TrustResult = VerifyTrust(FileName, 1);
    if (!BindImageHlp()) {
        UnbindImageHlp();
        return;
    }
    std::ifstream file(FileName, std::ios::binary);
    if (!file) {
        AddLog("Error opening file");
    } else {
        AddLog("File properly opened");
        std::vector<std::uint32_t> indices(MaxCertificates);
        std::uint32_t count = 0;
        if (!imageHlp_.ImageEnumerateCertificates(FileName, sig::AnyCertificateType, count, indices)) {
            AddLog("Error enumerating certificates");
        } else {
            AddLog(Format("IEC returned %d", {count}));
            for (std::uint32_t k = 0; k < std::min<std::uint32_t>(count, MaxCertificates); ++k)
                ReadCertificate(FileName, k, indices[k]);
        }
        file.close();
        AddLog("File closed");
    }
    UnbindImageHlp();
}

void TSignatureChecker::ReadCertificate(const std::string& openFile, std::uint32_t k, std::uint32_t index) {
    std::uint32_t size = 0;
    if (imageHlp_.ImageGetCertificateData(openFile, index, {}, size) != sig::ErrorInsufficientBuffer) {
        AddLog(Format("Error getting size of certificate #%d", {k}));
        return;
    }
    AddLog(Format("Size of certificate #%d is %d", {k, size}));
    std::vector<std::uint8_t> blob(size);
    if (imageHlp_.ImageGetCertificateData(openFile, index, blob, size) != 0) {
        AddLog(Format("Error getting certificate #%d", {k}));
        return;
    }
    AddLog(Format("Got certificate #%d", {k}));
    ReadCodeSigningCertificates(std::span(blob).first(std::min<std::size_t>(size, blob.size())),
                                Certificates.emplace_back());
}

void TSignatureChecker::ReadCodeSigningCertificates(std::span<const std::uint8_t> blob,
                                                    std::vector<TCertificateData>& list) {
    if (!BindCrypt32()) {
        UnbindCrypt32();
        return;
    }
    // A blob too short for its header holds no signed data.
    const auto data = blob.size() > sig::CertificateHeaderSize ? blob.subspan(sig::CertificateHeaderSize)
                                                                : std::span<const std::uint8_t>();
    if (const std::uintptr_t store =
            crypt32_.CertOpenStore(sig::StoreProviderPkcs7, sig::EncodingX509AndPkcs7, data)) {
        std::uintptr_t certificate = 0;
        while ((certificate = crypt32_.CertFindCertificateInStore(store, sig::CodeSigningUsage, certificate))) {
            AddLog("Found a certificate in store");
            const int ordinal = static_cast<int>(list.size()) + 1;
            ReadCertificateNames(certificate, ordinal, list.emplace_back());
        }
        if (list.empty()) AddLog("No Code Signing certificates found!");
        crypt32_.CertCloseStore(store, sig::CloseStoreForce);
    }
    UnbindCrypt32();
}

void TSignatureChecker::ReadCertificateNames(std::uintptr_t certificate, int ordinal, TCertificateData& data) {
    const struct {
        std::uint32_t Type;
        std::string TCertificateData::*Field;
        const char* Label;
    } names[] = {
        {2, &TCertificateData::RDN, "RDN"},
        {1, &TCertificateData::Email, "EMAIL"},
        {4, &TCertificateData::SimpleDisplay, "SIMPLE DISPLAY"},
        {5, &TCertificateData::FriendlyDisplay, "FRIENDLY DISPLAY"},
        {6, &TCertificateData::DNS, "DNS"},
        {7, &TCertificateData::URL, "URL"},
        {8, &TCertificateData::UPN, "UPN"},
    };
    for (const auto& name : names) {
        const std::uint32_t flags = name.Type == 2 ? sig::NameFlagX500 : 0;
        const std::uint32_t length = crypt32_.CertGetNameStringA(certificate, name.Type, flags, {});
        if (length == 0) continue;
        std::vector<char> buffer(length);
        if (crypt32_.CertGetNameStringA(certificate, name.Type, flags, buffer) != 0)
            data.*name.Field = TrimmedName(buffer);
    }
    for (const auto& name : names)
        AddLog(Format("    %d - %s = %s", {ordinal, std::string(name.Label), data.*name.Field}));
}

TSignatureCheck CheckFileSignatures(const std::string& fileName) {
    TSignatureChecker checker(fileName);
    checker.Check();
    TSignatureCheck check;
    check.Checked = checker.TrustResult != TSignatureChecker::TrustUnavailable;
    check.Trusted = checker.Trusted;
    for (const auto& store : checker.Certificates)
        for (const auto& certificate : store) check.CertificateSubjects.push_back(certificate.SimpleDisplay);
    return check;
}
