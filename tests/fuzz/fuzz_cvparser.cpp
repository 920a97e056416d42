// Conditions are typed by users: any text must compile or fail cleanly, and
// whatever compiles must evaluate or raise ECVExprError, never crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/cvparser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TCVParser parser;
    parser.SetText(std::string(reinterpret_cast<const char*>(data), size));
    TCVExprItems items;
    parser.CompileExpression(items);
    if (!parser.ErrorText().empty()) return 0;
    TCVEvaluator evaluator;
    evaluator.AddIdProc([](const TCVIdParams& params, TCVStack& stack) {
        if (params.size() != 1) return false;
        stack.PushFloat(42.5);
        return true;
    });
    try {
        evaluator.EvaluateExpression(items);
    } catch (const ECVExprError&) {
    }
    return 0;
}
