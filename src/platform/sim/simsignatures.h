#pragma once
// The signature libraries of the simulated machine, answering from the
// board's "signatures" section:
//   {"absent": ["crypt32.dll", "ImageGetCertificateData"],   (libraries or entry points)
//    "files": {"caldavor.exe": {"trust": "0x0", "enumerateFails": false,
//       "blobs": [{"certificates": [{"codeSigning": true, "rdn": "CN=Virel S.R.L.",
//                    "email": "", "simpleDisplay": "Virel S.R.L.", "friendlyDisplay": "",
//                    "dns": "", "url": "", "upn": ""}]},
//                 {"sizeQueryFails": true}, {"dataFails": true}, {"storeFails": true}]}}}
// Files are named by their file name alone; a file not listed is unsigned
// ("trust" 0x800B0100) and carries no certificates. Without the section the
// libraries are absent, as on a system that has none.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/sim/boardreader.h"

namespace platform::sim {

class Machine;
class SimLibraries;

struct SimCertificate {
    bool codeSigning = true;
    std::map<std::uint32_t, std::string> names;  // by name type; a type not listed is absent
};

struct SimCertificateBlob {
    bool sizeQueryFails = false;
    bool dataFails = false;
    bool storeFails = false;
    std::vector<SimCertificate> certificates;
};

struct SimSignedFile {
    std::uint32_t trust = 0x800B0100;
    bool enumerateFails = false;
    std::vector<SimCertificateBlob> blobs;
};

struct SimSignatures {
    std::set<std::string> absent;               // library file names and entry points
    std::map<std::string, SimSignedFile> files;  // by lower-case file name
};

// Places the three libraries, less the absent ones, at their file names.
void placeSignatureLibraries(SimLibraries& libraries, const SimSignatures& signatures);
void loadSignaturesSection(const BoardNode& section, Machine& machine);

}  // namespace platform::sim
