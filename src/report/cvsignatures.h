#pragma once
// Checks the signature of one file and lists the code-signing certificates
// embedded in it, through the system's signature libraries bound for the
// step that needs them. Every failure is a log line; nothing is guarded by it.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/cvservices.h"
#include "platform/library.h"
#include "platform/signaturelibraries.h"

struct TCertificateData {
    std::string RDN, Email, SimpleDisplay, FriendlyDisplay, DNS, URL, UPN;
};
using TCertificateStoreDataArray = std::vector<std::vector<TCertificateData>>;

class TSignatureChecker {
public:
    // What VerifyTrust answers without the trust library or its entry point;
    // no trust provider returns it.
    static constexpr std::uint32_t TrustUnavailable = 0xFFFFFFFF;
    static constexpr std::size_t MaxCertificates = 128;

    explicit TSignatureChecker(std::string fileName) : FileName(std::move(fileName)) {}

    void Check();
    // Mode: 0 raw file, 2 class file, 3 cabinet, any other a PE image.
    std::uint32_t VerifyTrust(const std::string& fileName, std::uint8_t mode);
    void ReadCodeSigningCertificates(std::span<const std::uint8_t> blob, std::vector<TCertificateData>& list);

    const std::string FileName;
    bool Trusted = false;
    std::uint32_t TrustResult = TrustUnavailable;  // what Check's trust step answered
    TCertificateStoreDataArray Certificates;
    std::vector<std::string> Log;

private:
    struct TCrypt32 {
        std::unique_ptr<platform::Library> Library;
        std::function<platform::signatures::OpenStoreCall> CertOpenStore;
        std::function<platform::signatures::FindCertificateCall> CertFindCertificateInStore;
        std::function<platform::signatures::CloseStoreCall> CertCloseStore;
        std::function<platform::signatures::GetNameStringCall> CertGetNameStringA;
    };
    struct TImageHlp {
        std::unique_ptr<platform::Library> Library;
        std::function<platform::signatures::EnumerateCertificatesCall> ImageEnumerateCertificates;
        std::function<platform::signatures::GetCertificateDataCall> ImageGetCertificateData;
    };

    void AddLog(const std::string& text) { Log.push_back(text); }
    bool BindCrypt32();
    void UnbindCrypt32() { crypt32_ = {}; }
    bool BindImageHlp();
    void UnbindImageHlp() { imageHlp_ = {}; }
    void ReadCertificate(const std::string& openFile, std::uint32_t k, std::uint32_t index);
    void ReadCertificateNames(std::uintptr_t certificate, int ordinal, TCertificateData& data);

    TCrypt32 crypt32_;
    TImageHlp imageHlp_;
};

// The check as the start-up's signature slot wants it: checked, trusted,
// and the simple display names of every certificate.
TSignatureCheck CheckFileSignatures(const std::string& fileName);
