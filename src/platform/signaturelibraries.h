#pragma once
// The system's signature libraries as every backend offers them: their file
// names, entry points and the shapes the checker calls them with. Handles
// of stores and certificates are opaque numbers, 0 for none.

#include <cstdint>
#include <span>
#include <string>

namespace platform::signatures {

inline constexpr const char* WinTrust = "WinTrust.dll";
inline constexpr const char* ImageHlp = "imagehlp.dll";
inline constexpr const char* Crypt32 = "crypt32.dll";

inline constexpr const char* WinVerifyTrust = "WinVerifyTrust";
inline constexpr const char* ImageEnumerateCertificates = "ImageEnumerateCertificates";
inline constexpr const char* ImageGetCertificateData = "ImageGetCertificateData";
inline constexpr const char* CertOpenStore = "CertOpenStore";
inline constexpr const char* CertFindCertificateInStore = "CertFindCertificateInStore";
inline constexpr const char* CertCloseStore = "CertCloseStore";
inline constexpr const char* CertGetNameStringA = "CertGetNameStringA";

// Trust of a file through the action's provider, by subject type (GUID
// texts), without user interface; the backend converts the name as it needs.
using VerifyTrustCall = std::uint32_t(const std::string& action, const std::string& subjectType,
                                      const std::string& fileName);
// The certificates of a file opened for reading: their count, and up to
// indices.size() of their indices. False on failure.
using EnumerateCertificatesCall = bool(const std::string& openFile, std::uint16_t typeFilter,
                                       std::uint32_t& count, std::span<std::uint32_t> indices);
// One certificate's bytes; 0, or the system's error. An empty buffer asks
// for the size: it fails with ErrorInsufficientBuffer and sets length.
using GetCertificateDataCall = std::uint32_t(const std::string& openFile, std::uint32_t index,
                                             std::span<std::uint8_t> buffer, std::uint32_t& length);
// A store from the given provider's data in the given encodings; 0 when it does not open.
using OpenStoreCall = std::uintptr_t(std::uint32_t provider, std::uint32_t encoding, std::span<const std::uint8_t> data);
// The next certificate after previous whose extension lists the usage.
using FindCertificateCall = std::uintptr_t(std::uintptr_t store, const std::string& enhancedKeyUsage,
                                           std::uintptr_t previous);
using CloseStoreCall = bool(std::uintptr_t store, std::uint32_t flags);
// Copies the name with its terminating zero into buffer when it is large
// enough; answers the length that name needs (1 for a name it lacks).
using GetNameStringCall = std::uint32_t(std::uintptr_t certificate, std::uint32_t type, std::uint32_t flags,
                                        std::span<char> buffer);

inline constexpr std::uint32_t ErrorInsufficientBuffer = 122;
inline constexpr std::uint16_t AnyCertificateType = 255;
inline constexpr std::uint32_t StoreProviderPkcs7 = 5;
inline constexpr std::uint32_t EncodingX509AndPkcs7 = 0x00010001;
inline constexpr std::uint32_t CloseStoreForce = 1;
inline constexpr std::uint32_t NameFlagX500 = 3;  // the X.500 form of an RDN name
inline constexpr const char* CodeSigningUsage = "1.3.6.1.5.5.7.3.3";
inline constexpr std::size_t CertificateHeaderSize = 8;

}  // namespace platform::signatures
