#include "core/cvparser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

#include "base/cvformat.h"
#include "core/cvtext.h"

namespace {

// Deep nesting of brackets or signs would otherwise exhaust the stack on a
// condition typed by a user.
constexpr int MaxNesting = 200;

constexpr int EndOfText = -1;

struct TOperatorToken {
    std::string_view Text;
    TCVExprOpType Op;
};

constexpr std::array<TOperatorToken, 11> OperatorTokens{{
    {"+", eotAdd},
    {"-", eotSubtract},
    {"*", eotMultiply},
    {"/", eotDivide},
    {"<", eotLessThan},
    {">", eotGreaterThan},
    {"<=", eotLessEq},
    {">=", eotGreaterEq},
    {"<>", eotNotEqual},
    {"and", eotAnd},
    {"or", eotOr},
}};

int OperatorPriority(TCVExprOpType op) {
    switch (op) {
    case eotMultiply:
    case eotDivide:
        return 3;
    case eotAnd:
        return 2;
    default:
        return 1;
    }
}

std::string_view OperatorText(TCVExprOpType op) {
    for (const auto& token : OperatorTokens)
        if (token.Op == op) return token.Text;
    return op == eotUnaryMinus ? "unary minus" : "unary plus";
}

bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsLetter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsFunctionName(const std::string& name) {
    const std::string lower = LowerCase(name);
    return lower == "strtoint" || lower == "inttostr";
}

bool IsOperatorPrefix(std::string_view text) {
    for (const auto& token : OperatorTokens)
        if (token.Text.starts_with(text)) return true;
    return false;
}

const TOperatorToken* FindOperator(std::string_view text) {
    for (const auto& token : OperatorTokens)
        if (token.Text == text) return &token;
    return nullptr;
}

TCVExprItem OperatorItem(TCVExprOpType op) { return {TCVItemKind::Operator, {}, op}; }

bool IsNumber(const TCVStackItem& item) {
    return item.Type == TCVStackType::Int || item.Type == TCVStackType::Float;
}

double AsFloat(const TCVStackItem& item) {
    if (item.Type == TCVStackType::Int) return static_cast<double>(std::get<std::int64_t>(item.Value));
    return ParserTextToFloat(std::get<std::string>(item.Value));
}

[[noreturn]] void UnsupportedTypes(std::string_view what) {
    throw ECVExprError(cvformat::Format("Unsupported types for '%s'", {what}));
}

[[noreturn]] void IntegerOverflow() { throw ECVExprError("Integer overflow"); }

std::int64_t IntegerResult(TCVExprOpType op, std::int64_t left, std::int64_t right) {
    std::int64_t result = 0;
    bool overflow = false;
    switch (op) {
    case eotAdd:
        overflow = __builtin_add_overflow(left, right, &result);
        break;
    case eotSubtract:
        overflow = __builtin_sub_overflow(left, right, &result);
        break;
    default:
        overflow = __builtin_mul_overflow(left, right, &result);
        break;
    }
    if (overflow) IntegerOverflow();
    return result;
}

double FloatResult(TCVExprOpType op, double left, double right) {
    switch (op) {
    case eotAdd:
        return left + right;
    case eotSubtract:
        return left - right;
    case eotMultiply:
        return left * right;
    default:
        if (right == 0) throw ECVExprError("Division by zero");
        return left / right;
    }
}

bool IsComparison(TCVExprOpType op) {
    return op == eotGreaterThan || op == eotLessThan || op == eotGreaterEq || op == eotLessEq;
}

// Strings compare by unsigned character code, a prefix being the smaller; a
// NaN makes every comparison false.
template <typename T>
bool Compare(TCVExprOpType op, const T& left, const T& right) {
    switch (op) {
    case eotGreaterThan:
        return left > right;
    case eotLessThan:
        return left < right;
    case eotGreaterEq:
        return left >= right;
    default:
        return left <= right;
    }
}

std::string IndexText(const TCVStackItem& item) {
    switch (item.Type) {
    case TCVStackType::Int:
        return cvformat::Format("[%d]", {std::get<std::int64_t>(item.Value)});
    case TCVStackType::String:
        return "[\"" + std::get<std::string>(item.Value) + "\"]";
    case TCVStackType::Float:
        return "[" + std::get<std::string>(item.Value) + "]";
    default:
        return std::get<bool>(item.Value) ? "[True]" : "[False]";
    }
}

}  // namespace

// ---- conversions ------------------------------------------------------------

std::string FloatToParserText(double value) {
    std::array<char, 64> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, 15);
    return std::string(buffer.data(), result.ptr);
}

double ParserTextToFloat(const std::string& text) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        throw ECVExprError(cvformat::Format("'%s' is not a valid floating point value", {text}));
    return value;
}

std::int64_t ParserTextToInt(const std::string& text) {
    std::string_view digits(text);
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    std::int64_t value = 0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size())
        throw ECVExprError(cvformat::Format("'%s' is not a valid integer value", {text}));
    return value;
}

// ---- stack --------------------------------------------------------------------

TCVStackItem TCVStack::GetItem(int index) const {
    if (index < 0 || index >= Count())
        throw ECVExprError(cvformat::Format("%d is not within 0..%d", {index, Count() - 1}));
    return items_[static_cast<std::size_t>(index)];
}

void TCVStack::Push(TCVStackType type, TCVValue value) { items_.push_back({type, std::move(value)}); }

TCVStackItem TCVStack::Pop() {
    if (items_.empty()) throw ECVExprError("Empty stack");
    TCVStackItem item = std::move(items_.back());
    items_.pop_back();
    return item;
}

void TCVStack::PushFloat(double value) { Push(TCVStackType::Float, FloatToParserText(value)); }

void TCVStack::PushInt(std::int64_t value) { Push(TCVStackType::Int, value); }

// ---- parser -------------------------------------------------------------------

void TCVParser::SetText(std::string text) {
    text_ = std::move(text);
    pos_ = 0;
}

// Line ends are invisible: they are stepped over wherever the text is read.
int TCVParser::peek() {
    while (pos_ < text_.size() && (text_[pos_] == '\r' || text_[pos_] == '\n')) ++pos_;
    return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : EndOfText;
}

int TCVParser::next() {
    const int c = peek();
    if (c != EndOfText) ++pos_;
    return c;
}

void TCVParser::skipSpaces() {
    while (peek() == ' ') ++pos_;
}

void TCVParser::setError(const std::string& message) {
    error_ = message + " (" + text_.substr(0, pos_) + ")";
}

void TCVParser::CompileExpression(TCVExprItems& items) {
    depth_ = 0;
    compile(items);
}

void TCVParser::compile(TCVExprItems& items) {
    items.clear();
    std::vector<TCVExprOpType> pending;
    parseOperand(items);
    if (failed()) return;
    for (;;) {
        skipSpaces();
        TCVExprOpType op = eotAdd;
        if (!readOperator(op)) break;
        TCVExprItems operand;
        parseOperand(operand);
        if (failed()) return;
        pending.push_back(op);
        if (pending.size() == 2 && OperatorPriority(pending[0]) >= OperatorPriority(pending[1])) {
            items.push_back(OperatorItem(pending[0]));
            pending.erase(pending.begin());
        }
        items.insert(items.end(), operand.begin(), operand.end());
        if (pending.size() == 2) {
            items.push_back(OperatorItem(pending[1]));
            pending.pop_back();
        }
    }
    if (pending.size() == 1) items.push_back(OperatorItem(pending[0]));
}

// Reads the longest run that still begins an operator token. Anything that is
// not a whole token is left unread and ends the expression.
bool TCVParser::readOperator(TCVExprOpType& op) {
    const std::size_t start = pos_;
    std::string token;
    for (int c = peek(); c != EndOfText && IsOperatorPrefix(token + LowerChar(static_cast<char>(c))); c = peek()) {
        token += LowerChar(static_cast<char>(c));
        ++pos_;
    }
    const TOperatorToken* found = FindOperator(token);
    if (!found) {
        pos_ = start;
        return false;
    }
    op = found->Op;
    return true;
}

void TCVParser::parseOperand(TCVExprItems& items) {
    if (++depth_ > MaxNesting) {
        setError("Expression nested too deeply");
        return;
    }
    skipSpaces();
    const int c = peek();
    if (c == EndOfText) {
        setError("Value expected");
    } else if (c == '"') {
        std::string text;
        parseString(text);
        if (!failed()) items.push_back({TCVItemKind::StringLiteral, std::move(text)});
    } else if (c == '(') {
        next();
        TCVExprItems inner;
        compile(inner);
        if (failed()) return;
        items.insert(items.end(), inner.begin(), inner.end());
        if (next() != ')') setError("Missing ')'");
    } else if (c == '+' || c == '-') {
        next();
        parseOperand(items);
        if (!failed() && c == '-') items.push_back(OperatorItem(eotUnaryMinus));
    } else if (IsDigit(c)) {
        parseNumber(items);
    } else {
        TCVIdParams parts;
        std::vector<TCVExprItems> indices;
        parseIdentifier(parts, indices);
        if (failed()) return;
        if (parts.size() == 1 && IsFunctionName(parts[0].Text)) {
            int count = 0;
            parseFunctionArguments(items, count);
            if (failed()) return;
            items.push_back({TCVItemKind::IntLiteral, std::to_string(count)});
            items.push_back({TCVItemKind::Function, parts[0].Text});
        } else {
            for (auto index = indices.rbegin(); index != indices.rend(); ++index)
                items.insert(items.end(), index->begin(), index->end());
            for (std::size_t i = 0; i < parts.size(); ++i)
                items.push_back({i == 0 ? TCVItemKind::IdFirst : TCVItemKind::IdPart, parts[i].Text});
        }
    }
    --depth_;
}

void TCVParser::parseNumber(TCVExprItems& items) {
    std::string digits;
    bool isFloat = false;
    for (int c = peek(); IsDigit(c) || c == '.'; c = peek()) {
        isFloat = isFloat || c == '.';
        digits += static_cast<char>(next());
    }
    items.push_back({isFloat ? TCVItemKind::FloatLiteral : TCVItemKind::IntLiteral, std::move(digits)});
}

void TCVParser::parseString(std::string& text) {
    next();  // the opening quote
    for (int c = next(); c != '"'; c = next()) {
        if (c == EndOfText) {
            setError("Incomplete string");
            return;
        }
        text += static_cast<char>(c);
    }
}

bool TCVParser::readName(std::string& name) {
    const int c = peek();
    if (c == '"') {
        parseString(name);
        return !failed();
    }
    if (!IsLetter(c)) return false;
    for (int d = peek(); IsLetter(d) || IsDigit(d); d = peek()) name += static_cast<char>(next());
    return true;
}

void TCVParser::parseIdentifier(TCVIdParams& parts, std::vector<TCVExprItems>& indices) {
    std::string name;
    if (!readName(name)) {
        if (!failed()) setError("Identifier expected");
        return;
    }
    parts.push_back({"id", std::move(name)});
    for (;;) {
        const int c = peek();
        if (c == '.') {
            next();
            std::string part;
            if (!readName(part)) {
                if (!failed()) setError("Invalid identifier");
                return;
            }
            parts.push_back({"id", std::move(part)});
        } else if (c == '[') {
            next();
            TCVExprItems index;
            compile(index);
            if (failed()) return;
            if (next() != ']') {
                setError("Missing ']'");
                return;
            }
            indices.push_back(std::move(index));
            parts.push_back({"index", "[]"});
        } else {
            return;
        }
    }
}

void TCVParser::parseFunctionArguments(TCVExprItems& items, int& count) {
    skipSpaces();
    if (peek() != '(') return;
    next();
    for (;;) {
        TCVExprItems argument;
        compile(argument);
        if (failed()) return;
        items.insert(items.end(), argument.begin(), argument.end());
        ++count;
        const int c = next();
        if (c == ')') return;
        if (c != ',') {
            setError("',' or ')' expected");
            return;
        }
    }
}

// ---- evaluator ------------------------------------------------------------------

void TCVEvaluator::EvaluateExpression(const TCVExprItems& items) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const TCVExprItem& item = items[i];
        switch (item.Kind) {
        case TCVItemKind::IntLiteral:
            stack_.PushInt(ParserTextToInt(item.Text));
            break;
        case TCVItemKind::FloatLiteral:
            stack_.Push(TCVStackType::Float, item.Text);
            break;
        case TCVItemKind::StringLiteral:
            stack_.PushString(item.Text);
            break;
        case TCVItemKind::Operator:
            applyOperator(item.Op);
            break;
        case TCVItemKind::IdFirst:
        case TCVItemKind::IdPart:
            i = resolveIdentifier(items, i);
            break;
        case TCVItemKind::Function:
            callFunction(item.Text);
            break;
        }
    }
}

// Answers the index of the path's last item.
std::size_t TCVEvaluator::resolveIdentifier(const TCVExprItems& items, std::size_t first) {
    TCVIdParams params{{"", items[first].Text}};
    std::size_t last = first;
    while (last + 1 < items.size() && items[last + 1].Kind == TCVItemKind::IdPart)
        params.push_back({"", items[++last].Text});

    std::size_t indexCount = 0;
    for (const auto& param : params) indexCount += param.Text == "[]";
    // A resolver that declines must not have eaten the indices the next one needs.
    const std::size_t keep = std::min(indexCount, stack_.items_.size());
    const std::size_t base = stack_.items_.size() - keep;
    const std::vector<TCVStackItem> indexValues(stack_.items_.begin() + static_cast<std::ptrdiff_t>(base),
                                                stack_.items_.end());
    for (const auto& resolver : resolvers_) {
        if (resolver(params, stack_)) return last;
        stack_.items_.resize(std::min(base, stack_.items_.size()));
        stack_.items_.insert(stack_.items_.end(), indexValues.begin(), indexValues.end());
    }

    std::string name;
    for (const auto& param : params) {
        if (param.Text == "[]") {
            name += IndexText(stack_.Pop());
        } else {
            if (!name.empty()) name += '.';
            name += param.Text;
        }
    }
    throw ECVExprError(cvformat::Format("Unable to parse identifier (%s)", {name}));
}

void TCVEvaluator::callFunction(const std::string& name) {
    const TCVStackItem countItem = stack_.Pop();
    if (LowerCase(name) != "strtoint") throw ECVExprError(cvformat::Format("Unknown function '%s'", {name}));
    if (countItem != TCVStackItem{TCVStackType::Int, std::int64_t{1}})
        throw ECVExprError("StrToInt requires 1 parameter");
    const TCVStackItem argument = stack_.Pop();
    if (argument.Type != TCVStackType::String) throw ECVExprError("Argument for StrToInt is not a string");
    stack_.PushInt(ParserTextToInt(std::get<std::string>(argument.Value)));
}

void TCVEvaluator::applyOperator(TCVExprOpType op) {
    switch (op) {
    case eotUnaryMinus:
    case eotUnaryPlus: {
        TCVStackItem value = stack_.Pop();
        if (!IsNumber(value)) UnsupportedTypes(OperatorText(op));
        if (op == eotUnaryPlus) {
            stack_.items_.push_back(std::move(value));
        } else if (value.Type == TCVStackType::Int) {
            stack_.PushInt(IntegerResult(eotSubtract, 0, std::get<std::int64_t>(value.Value)));
        } else {
            stack_.PushFloat(-AsFloat(value));
        }
        return;
    }
    case eotAnd:
    case eotOr:
    case eotNotEqual:
        throw ECVExprError(cvformat::Format("Unsupported operator '%s'", {OperatorText(op)}));
    default:
        break;
    }

    const TCVStackItem right = stack_.Pop();
    const TCVStackItem left = stack_.Pop();
    switch (op) {
    case eotAdd:
    case eotSubtract:
    case eotMultiply:
    case eotDivide:
        if (op == eotAdd && left.Type == TCVStackType::String && right.Type == TCVStackType::String) {
            stack_.PushString(std::get<std::string>(left.Value) + std::get<std::string>(right.Value));
        } else if (!IsNumber(left) || !IsNumber(right)) {
            UnsupportedTypes(OperatorText(op));
        } else if (op != eotDivide && left.Type == TCVStackType::Int && right.Type == TCVStackType::Int) {
            stack_.PushInt(IntegerResult(op, std::get<std::int64_t>(left.Value), std::get<std::int64_t>(right.Value)));
        } else {
            stack_.PushFloat(FloatResult(op, AsFloat(left), AsFloat(right)));
        }
        return;
    default:
        if (!IsComparison(op)) throw ECVExprError("Unsupported operator");
        if (IsNumber(left) && IsNumber(right)) {
            stack_.PushBool(Compare(op, AsFloat(left), AsFloat(right)));
        } else if (left.Type == TCVStackType::String && right.Type == TCVStackType::String) {
            stack_.PushBool(Compare(op, std::get<std::string>(left.Value), std::get<std::string>(right.Value)));
        } else {
            UnsupportedTypes(OperatorText(op));
        }
        return;
    }
}
