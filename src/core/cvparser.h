#pragma once
// The condition language of events: TCVParser compiles a text once into
// postfix items, TCVEvaluator runs them on a value stack. The language has no
// names of its own: identifier paths are offered to resolver callbacks.

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

enum TCVExprOpType : std::uint8_t {
    eotAdd = 0,
    eotSubtract = 1,
    eotMultiply = 2,
    eotDivide = 3,
    eotUnaryMinus = 4,
    eotUnaryPlus = 5,
    eotGreaterThan = 6,
    eotLessThan = 7,
    eotGreaterEq = 8,
    eotLessEq = 9,
    eotAnd = 10,
    eotOr = 11,
    // "<>" gets its own code so that it can never compute a sum.
    eotNotEqual = 12,
};

enum class TCVItemKind : std::uint8_t {
    IntLiteral = 0,    // Text: its digits
    FloatLiteral = 1,  // Text: as written
    StringLiteral = 2,
    Operator = 3,      // Op
    IdFirst = 4,       // first part of an identifier path
    IdPart = 5,        // further part; "[]" for an index
    Function = 6,      // Text: the name as written
};

struct TCVExprItem {
    TCVItemKind Kind = TCVItemKind::IntLiteral;
    std::string Text;
    TCVExprOpType Op = eotAdd;

    bool operator==(const TCVExprItem&) const = default;
};

using TCVExprItems = std::vector<TCVExprItem>;

// Raised by evaluation (type errors, unknown names, bad conversions, stack
// misuse); compilation never raises.
class ECVExprError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TCVStackType : std::uint8_t { Int = 0, Float = 1, String = 2, Boolean = 3 };

// Int holds std::int64_t, Float and String hold text (a float as its text with
// "." as decimal separator), Boolean holds bool.
using TCVValue = std::variant<std::int64_t, std::string, bool>;

struct TCVStackItem {
    TCVStackType Type = TCVStackType::Int;
    TCVValue Value;

    bool operator==(const TCVStackItem&) const = default;
};

class TCVStack {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    // Index 0 is the bottom.
    TCVStackItem GetItem(int index) const;
    void Push(TCVStackType type, TCVValue value);
    TCVStackItem Pop();
    void PushFloat(double value);
    void PushInt(std::int64_t value);
    void PushBool(bool value) { Push(TCVStackType::Boolean, value); }
    void PushString(std::string value) { Push(TCVStackType::String, std::move(value)); }

private:
    friend class TCVEvaluator;
    std::vector<TCVStackItem> items_;
};

// Floats travel as text: 15 significant digits, "." as decimal separator.
std::string FloatToParserText(double value);
// Raises ECVExprError when the text is no number.
double ParserTextToFloat(const std::string& text);
// Decimal integer with an optional sign; raises ECVExprError otherwise.
std::int64_t ParserTextToInt(const std::string& text);

struct TCVIdParam {
    std::string Kind;  // "id" or "index" while parsing; empty for resolvers
    std::string Text;
};
using TCVIdParams = std::vector<TCVIdParam>;

// Gets the parts of one path ("[]" for each index), pops the index values (the
// first index of the path on top), pushes the result and answers true; answers
// false for a path it does not know.
using TEvalIdProc = std::function<bool(const TCVIdParams& params, TCVStack& stack)>;

class TCVParser {
public:
    void SetText(std::string text);
    // On a syntax error ErrorText() is set and items must not be used.
    void CompileExpression(TCVExprItems& items);
    const std::string& ErrorText() const { return error_; }
    // 1-based, as the error texts count.
    int Position() const { return static_cast<int>(pos_) + 1; }

private:
    int peek();
    int next();
    void skipSpaces();
    bool failed() const { return !error_.empty(); }
    void setError(const std::string& message);
    void compile(TCVExprItems& items);
    bool readOperator(TCVExprOpType& op);
    void parseOperand(TCVExprItems& items);
    void parseNumber(TCVExprItems& items);
    void parseString(std::string& text);
    bool readName(std::string& name);
    void parseIdentifier(TCVIdParams& parts, std::vector<TCVExprItems>& indices);
    void parseFunctionArguments(TCVExprItems& items, int& count);

    std::string text_;
    std::size_t pos_ = 0;
    std::string error_;
    int depth_ = 0;
};

class TCVEvaluator {
public:
    void AddIdProc(TEvalIdProc proc) { resolvers_.push_back(std::move(proc)); }
    // Runs on the current stack without emptying it; raises ECVExprError.
    void EvaluateExpression(const TCVExprItems& items);
    TCVStack& Stack() { return stack_; }

private:
    std::size_t resolveIdentifier(const TCVExprItems& items, std::size_t first);
    void callFunction(const std::string& name);
    void applyOperator(TCVExprOpType op);

    TCVStack stack_;
    std::vector<TEvalIdProc> resolvers_;
};
