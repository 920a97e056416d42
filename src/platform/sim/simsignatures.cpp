#include "platform/sim/simsignatures.h"

#include <algorithm>
#include <memory>

#include "platform/asciicase.h"
#include "platform/signaturelibraries.h"
#include "platform/sim/machine.h"

namespace platform::sim {
namespace {

namespace sig = platform::signatures;

constexpr std::string_view BlobTag = "SIMPKCS7 ";

// The blob bytes name their file and position; the store reads them back.
std::vector<std::uint8_t> BlobBytes(const std::string& file, std::size_t blob) {
    const std::string payload = std::string(BlobTag) + file + "#" + std::to_string(blob);
    const auto length = static_cast<std::uint32_t>(sig::CertificateHeaderSize + payload.size());
    std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                    static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24),
                                    0x00, 0x02, 0x02, 0x00};
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return asciiLower(slash == std::string::npos ? path : path.substr(slash + 1));
}

// What the libraries share: the board's files and the stores now open.
class SignatureState {
public:
    explicit SignatureState(SimSignatures signatures) : signatures_(std::move(signatures)) {}

    const SimSignedFile* file(const std::string& path) const {
        const auto it = signatures_.files.find(FileNameOf(path));
        return it == signatures_.files.end() ? nullptr : &it->second;
    }

    std::uint32_t trust(const std::string& fileName) const {
        const SimSignedFile* f = file(fileName);
        return f ? f->trust : 0x800B0100;
    }

    bool enumerate(const std::string& path, std::uint32_t& count, std::span<std::uint32_t> indices) const {
        const SimSignedFile* f = file(path);
        if (f && f->enumerateFails) return false;
        count = f ? static_cast<std::uint32_t>(f->blobs.size()) : 0;
        for (std::uint32_t i = 0; i < count && i < indices.size(); ++i) indices[i] = i;
        return true;
    }

    std::uint32_t data(const std::string& path, std::uint32_t index, std::span<std::uint8_t> buffer,
                       std::uint32_t& length) const {
        const SimSignedFile* f = file(path);
        if (!f || index >= f->blobs.size()) return 87;  // invalid parameter
        const SimCertificateBlob& blob = f->blobs[index];
        const auto bytes = BlobBytes(FileNameOf(path), index);
        if (buffer.empty()) {
            if (blob.sizeQueryFails) return 87;
            length = static_cast<std::uint32_t>(bytes.size());
            return sig::ErrorInsufficientBuffer;
        }
        if (blob.dataFails || buffer.size() < bytes.size()) return 13;  // invalid data
        std::copy(bytes.begin(), bytes.end(), buffer.begin());
        length = static_cast<std::uint32_t>(bytes.size());
        return 0;
    }

    std::uintptr_t openStore(std::span<const std::uint8_t> data) {
        const std::string payload(data.begin(), data.end());
        if (payload.rfind(BlobTag, 0) != 0) return 0;
        const auto hash = payload.rfind('#');
        const SimSignedFile* f = file(payload.substr(BlobTag.size(), hash - BlobTag.size()));
        const std::size_t index = std::stoul(payload.substr(hash + 1));
        if (!f || index >= f->blobs.size() || f->blobs[index].storeFails) return 0;
        const std::uintptr_t handle = ++lastStore_;
        stores_[handle] = &f->blobs[index];
        return handle;
    }

    // A certificate's handle is its store's number and its position from 1.
    std::uintptr_t find(std::uintptr_t store, const std::string& usage, std::uintptr_t previous) const {
        const auto it = stores_.find(store);
        if (it == stores_.end()) return 0;
        const auto& certificates = it->second->certificates;
        for (std::size_t i = previous ? (previous & 0xFF) : 0; i < certificates.size(); ++i)
            if (usage == sig::CodeSigningUsage && certificates[i].codeSigning) return store << 8 | (i + 1);
        return 0;
    }

    bool closeStore(std::uintptr_t store) { return stores_.erase(store) == 1; }

    std::uint32_t name(std::uintptr_t certificate, std::uint32_t type, std::span<char> buffer) const {
        const auto it = stores_.find(certificate >> 8);
        const std::size_t index = (certificate & 0xFF) - 1;
        if (it == stores_.end() || index >= it->second->certificates.size()) return 1;
        const auto& names = it->second->certificates[index].names;
        const auto found = names.find(type);
        const std::string text = found == names.end() ? std::string() : found->second;
        if (buffer.size() > text.size()) {
            std::copy(text.begin(), text.end(), buffer.begin());
            buffer[text.size()] = '\0';
        } else if (!buffer.empty()) {
            buffer[0] = '\0';
        }
        return static_cast<std::uint32_t>(text.size() + 1);
    }

    bool absent(const std::string& name) const { return signatures_.absent.contains(name); }

private:
    SimSignatures signatures_;
    std::map<std::uintptr_t, const SimCertificateBlob*> stores_;
    std::uintptr_t lastStore_ = 0;
};

template <class Signature, class F>
void AddUnlessAbsent(SimLibrary& library, const SignatureState& state, const char* name, F function) {
    if (!state.absent(name)) library.add<Signature>(name, std::move(function));
}

}  // namespace

void placeSignatureLibraries(SimLibraries& libraries, const SimSignatures& signatures) {
    auto state = std::make_shared<SignatureState>(signatures);
    SimLibrary winTrust, imageHlp, crypt32;
    AddUnlessAbsent<sig::VerifyTrustCall>(winTrust, *state, sig::WinVerifyTrust,
        [state](const std::string&, const std::string&, const std::string& file) { return state->trust(file); });
    AddUnlessAbsent<sig::EnumerateCertificatesCall>(imageHlp, *state, sig::ImageEnumerateCertificates,
        [state](const std::string& file, std::uint16_t, std::uint32_t& count, std::span<std::uint32_t> indices) {
            return state->enumerate(file, count, indices);
        });
    AddUnlessAbsent<sig::GetCertificateDataCall>(imageHlp, *state, sig::ImageGetCertificateData,
        [state](const std::string& file, std::uint32_t index, std::span<std::uint8_t> buffer, std::uint32_t& length) {
            return state->data(file, index, buffer, length);
        });
    AddUnlessAbsent<sig::OpenStoreCall>(crypt32, *state, sig::CertOpenStore,
        [state](std::uint32_t provider, std::uint32_t encoding, std::span<const std::uint8_t> data) -> std::uintptr_t {
            if (provider != sig::StoreProviderPkcs7 || encoding != sig::EncodingX509AndPkcs7) return 0;
            return state->openStore(data);
        });
    AddUnlessAbsent<sig::FindCertificateCall>(crypt32, *state, sig::CertFindCertificateInStore,
        [state](std::uintptr_t store, const std::string& usage, std::uintptr_t previous) {
            return state->find(store, usage, previous);
        });
    AddUnlessAbsent<sig::CloseStoreCall>(crypt32, *state, sig::CertCloseStore,
        [state](std::uintptr_t store, std::uint32_t) { return state->closeStore(store); });
    AddUnlessAbsent<sig::GetNameStringCall>(crypt32, *state, sig::CertGetNameStringA,
        [state](std::uintptr_t certificate, std::uint32_t type, std::uint32_t, std::span<char> buffer) {
            return state->name(certificate, type, buffer);
        });
    const std::pair<const char*, SimLibrary*> placed[] = {
        {sig::WinTrust, &winTrust}, {sig::ImageHlp, &imageHlp}, {sig::Crypt32, &crypt32}};
    for (const auto& [path, library] : placed)
        if (!state->absent(path)) libraries.place(path, std::move(*library));
}

void loadSignaturesSection(const BoardNode& section, Machine& machine) {
    section.expectFields({"absent", "files"});
    SimSignatures signatures;
    static const std::set<std::string> known = {
        sig::WinTrust, sig::ImageHlp, sig::Crypt32, sig::WinVerifyTrust, sig::ImageEnumerateCertificates,
        sig::ImageGetCertificateData, sig::CertOpenStore, sig::CertFindCertificateInStore, sig::CertCloseStore,
        sig::CertGetNameStringA};
    if (auto node = section.optionalField("absent")) {
        for (const BoardNode& item : node->items()) {
            if (!known.contains(item.asString())) item.failExpected("one of the signature libraries or entry points");
            signatures.absent.insert(item.asString());
        }
    }
    static const std::pair<const char*, std::uint32_t> nameTypes[] = {
        {"rdn", 2}, {"email", 1}, {"simpleDisplay", 4}, {"friendlyDisplay", 5}, {"dns", 6}, {"url", 7}, {"upn", 8}};
    if (auto files = section.optionalField("files")) {
        for (const auto& [name, node] : files->members()) {
            node.expectFields({"trust", "enumerateFails", "blobs"});
            SimSignedFile& file = signatures.files[asciiLower(name)];
            if (auto trust = node.optionalField("trust")) file.trust = trust->asHex(0xFFFFFFFF, "0x800B0100");
            if (auto fails = node.optionalField("enumerateFails")) file.enumerateFails = fails->asBool();
            if (auto blobs = node.optionalField("blobs")) {
                for (const BoardNode& b : blobs->items()) {
                    b.expectFields({"sizeQueryFails", "dataFails", "storeFails", "certificates"});
                    SimCertificateBlob& blob = file.blobs.emplace_back();
                    const std::pair<const char*, bool*> flags[] = {{"sizeQueryFails", &blob.sizeQueryFails},
                                                                   {"dataFails", &blob.dataFails},
                                                                   {"storeFails", &blob.storeFails}};
                    for (const auto& [flag, value] : flags)
                        if (auto f = b.optionalField(flag)) *value = f->asBool();
                    if (auto certificates = b.optionalField("certificates")) {
                        for (const BoardNode& c : certificates->items()) {
                            c.expectFields({"codeSigning", "rdn", "email", "simpleDisplay", "friendlyDisplay", "dns",
                                            "url", "upn"});
                            SimCertificate& certificate = blob.certificates.emplace_back();
                            if (auto usage = c.optionalField("codeSigning")) certificate.codeSigning = usage->asBool();
                            for (const auto& [key, type] : nameTypes)
                                if (auto text = c.optionalField(key)) certificate.names[type] = text->asString();
                        }
                    }
                }
            }
        }
    }
    placeSignatureLibraries(machine.simLibraries(), signatures);
}

}  // namespace platform::sim
