// The web services' answers come from the network: any text parses, and a
// configuration decodes or is refused with its error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "report/base64.h"
#include "net/cvwebservices.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TConfigAnswer config = ParseConfigAnswer(text);
    if (config.Complete && config.ErrorCode) std::abort();
    try {
        const std::string bytes = Base64ToStr(config.ConfigData);
        if (bytes.size() > config.ConfigData.size()) std::abort();
    } catch (const EBase64Error&) {
    }
    const TDiskReportAnswer disk = ParseDiskReportAnswer(text);
    if (disk.Verification.size() > text.size()) std::abort();
    SetOriginalCfgId(text, 23);
    return 0;
}
