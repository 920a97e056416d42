#include "core/cvparser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using K = TCVItemKind;
using T = TCVStackType;

TCVExprItems Compile(const std::string& text, std::string* error = nullptr) {
    TCVParser parser;
    parser.SetText(text);
    TCVExprItems items;
    parser.CompileExpression(items);
    if (error) *error = parser.ErrorText();
    else EXPECT_EQ(parser.ErrorText(), "") << text;
    return items;
}

TCVStack Evaluate(const std::string& text, TCVEvaluator evaluator = {}) {
    evaluator.EvaluateExpression(Compile(text));
    return evaluator.Stack();
}

std::string EvaluationError(const std::string& text, TCVEvaluator evaluator = {}) {
    try {
        evaluator.EvaluateExpression(Compile(text));
    } catch (const ECVExprError& e) {
        return e.what();
    }
    return "<no error>";
}

TEST(CVParser, CompilesIndexedPathIndicesLastFirst) {
    const TCVExprItems expected{
        {K::IntLiteral, "3"},      {K::IntLiteral, "2"},   {K::IdFirst, "sensor"},
        {K::IdPart, "[]"},         {K::IdPart, "temp"},    {K::IdPart, "[]"},
        {K::IdPart, "value"},      {K::IntLiteral, "50"},  {K::Operator, "", eotGreaterThan},
    };
    EXPECT_EQ(Compile("sensor[2].temp[3].value>50"), expected);
}

TEST(CVParser, CompilesFunctionCallsWithArgumentCount) {
    const TCVExprItems withArgument{
        {K::StringLiteral, "12"}, {K::IntLiteral, "1"}, {K::Function, "StrToInt"}};
    EXPECT_EQ(Compile("StrToInt(\"12\")"), withArgument);
    const TCVExprItems bare{{K::IntLiteral, "0"}, {K::Function, "strtoint"}};
    EXPECT_EQ(Compile("strtoint"), bare);
}

TEST(CVParser, ComparisonsShareTheLowestPriorityWithSums) {
    // a > b + 1 groups as (a > b) + 1.
    const TCVExprItems expected{
        {K::IdFirst, "a"}, {K::IdFirst, "b"}, {K::Operator, "", eotGreaterThan},
        {K::IntLiteral, "1"}, {K::Operator, "", eotAdd}};
    EXPECT_EQ(Compile("a > b + 1"), expected);
    EXPECT_EQ(EvaluationError("2 > 1 + 1"), "Unsupported types for '+'");
}

TEST(CVParser, SyntaxErrorsNameTheTextReadSoFar) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"(1+2", "Missing ')' ((1+2)"},
        {"", "Value expected ()"},
        {"1 + ", "Value expected (1 + )"},
        {"\"abc", "Incomplete string (\"abc)"},
        {"1+*2", "Identifier expected (1+)"},
        {"\t1", "Identifier expected ()"},
        {"a.5", "Invalid identifier (a.)"},
        {"a[1", "Missing ']' (a[1)"},
        {"strtoint(\"1\" \"2\")", "',' or ')' expected (strtoint(\"1\" \")"},
        {"strtoint()", "Identifier expected (strtoint()"},
    };
    for (const auto& c : cases) {
        std::string error;
        Compile(c.text, &error);
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(CVParser, DeepNestingIsAnErrorNotACrash) {
    for (const std::string opener : {"(", "-", "a["}) {
        std::string text;
        for (int i = 0; i < 100000; ++i) text += opener;
        std::string error;
        Compile(text + "1", &error);
        EXPECT_NE(error, "") << opener;
    }
}

TEST(CVEvaluator, ResultsAndTypes) {
    const struct {
        const char* text;
        TCVStackItem result;
    } cases[] = {
        {"2+3*4", {T::Int, std::int64_t{14}}},
        {"2*3+4", {T::Int, std::int64_t{10}}},
        {"2*(3+4)", {T::Int, std::int64_t{14}}},
        {"10-4-3", {T::Int, std::int64_t{3}}},
        {"2*3-4*5", {T::Int, std::int64_t{-14}}},
        {"7/2", {T::Float, std::string("3.5")}},
        {"8/4", {T::Float, std::string("2")}},
        {"1.5+1", {T::Float, std::string("2.5")}},
        {"2*1.25", {T::Float, std::string("2.5")}},
        {"-(2)", {T::Int, std::int64_t{-2}}},
        {"-1.5", {T::Float, std::string("-1.5")}},
        {"+2", {T::Int, std::int64_t{2}}},
        {"3--2", {T::Int, std::int64_t{5}}},
        {"1 2", {T::Int, std::int64_t{1}}},
        {"2 = 3", {T::Int, std::int64_t{2}}},
        {"1 abc", {T::Int, std::int64_t{1}}},
        {"\r\n1\r\n+\n2", {T::Int, std::int64_t{3}}},
        {"2 <\r\n= 2", {T::Boolean, true}},
        {"\"ab\"+\"cd\"", {T::String, std::string("abcd")}},
        {"strtoint(\"12\")", {T::Int, std::int64_t{12}}},
        {"STRTOINT(\"-7\") * 2", {T::Int, std::int64_t{-14}}},
        {"1.5 > 1", {T::Boolean, true}},
        {"3 >= 3.0", {T::Boolean, true}},
        {"2 < 2", {T::Boolean, false}},
        {"\"abc\"<\"abd\"", {T::Boolean, true}},
        {"\"abc\">=\"abd\"", {T::Boolean, false}},
        {"\"B\"<\"a\"", {T::Boolean, true}},
        {"\"ab\"<\"abc\"", {T::Boolean, true}},
        {"\"\xe9\">\"z\"", {T::Boolean, true}},
    };
    for (const auto& c : cases) {
        const TCVStack stack = Evaluate(c.text);
        ASSERT_EQ(stack.Count(), 1) << c.text;
        EXPECT_EQ(stack.GetItem(0), c.result) << c.text;
    }
}

TEST(CVEvaluator, ErrorTexts) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"\"ab\"-1", "Unsupported types for '-'"},
        {"\"ab\"*1", "Unsupported types for '*'"},
        {"1/\"ab\"", "Unsupported types for '/'"},
        {"1+\"ab\"", "Unsupported types for '+'"},
        {"-\"ab\"", "Unsupported types for 'unary minus'"},
        {"1 < \"ab\"", "Unsupported types for '<'"},
        {"inttostr(12)", "Unknown function 'inttostr'"},
        {"strtoint(12)", "Argument for StrToInt is not a string"},
        {"strtoint(\"1\", \"2\")", "StrToInt requires 1 parameter"},
        {"strtoint(\"12a\")", "'12a' is not a valid integer value"},
        {"1.2.3+1", "'1.2.3' is not a valid floating point value"},
        {"99999999999999999999", "'99999999999999999999' is not a valid integer value"},
        {"x", "Unable to parse identifier (x)"},
        {"sensor[\"cpu\"].temp[2].value", "Unable to parse identifier (sensor[\"cpu\"].temp[2].value)"},
        {"1/0", "Division by zero"},
        {"1.5/0.0", "Division by zero"},
        {"9223372036854775807+1", "Integer overflow"},
        {"-9223372036854775807-2", "Integer overflow"},
        {"4294967296*4294967296", "Integer overflow"},
        {"1 <> 2", "Unsupported operator '<>'"},
        {"1 and 2", "Unsupported operator 'and'"},
        {"1 OR 2", "Unsupported operator 'or'"},
    };
    for (const auto& c : cases) EXPECT_EQ(EvaluationError(c.text), c.error) << c.text;
}

TEST(CVEvaluator, OperatorOnEmptyStack) {
    TCVEvaluator evaluator;
    try {
        evaluator.EvaluateExpression({{K::Operator, "", eotMultiply}});
        FAIL();
    } catch (const ECVExprError& e) {
        EXPECT_STREQ(e.what(), "Empty stack");
    }
}

TEST(CVEvaluator, KeepsWhatIsAlreadyOnTheStack) {
    TCVEvaluator evaluator;
    evaluator.Stack().PushString("before");
    evaluator.EvaluateExpression(Compile("1"));
    ASSERT_EQ(evaluator.Stack().Count(), 2);
    EXPECT_EQ(evaluator.Stack().GetItem(0).Type, T::String);
    try {
        evaluator.Stack().GetItem(2);
        FAIL();
    } catch (const ECVExprError& e) {
        EXPECT_STREQ(e.what(), "2 is not within 0..1");
    }
}

TEST(CVEvaluator, ResolversGetThePathAndItsIndicesFirstOnTop) {
    std::vector<std::string> declinedPath;
    TCVEvaluator evaluator;
    // The first resolver eats the indices and declines: the second must still see them.
    evaluator.AddIdProc([&](const TCVIdParams& params, TCVStack& stack) {
        for (const auto& p : params) declinedPath.push_back(p.Kind + p.Text);
        stack.Pop();
        stack.Pop();
        return false;
    });
    evaluator.AddIdProc([](const TCVIdParams& params, TCVStack& stack) {
        if (params.size() != 5 || params[0].Text != "sensor") return false;
        const TCVStackItem first = stack.Pop();
        const TCVStackItem second = stack.Pop();
        stack.PushInt(std::get<std::int64_t>(first.Value) * 10 + std::get<std::int64_t>(second.Value));
        return true;
    });
    const TCVStack stack = Evaluate("sensor[2].temp[3].value + 1", evaluator);
    EXPECT_EQ(declinedPath, (std::vector<std::string>{"sensor", "[]", "temp", "[]", "value"}));
    ASSERT_EQ(stack.Count(), 1);
    EXPECT_EQ(stack.GetItem(0), (TCVStackItem{T::Int, std::int64_t{24}}));
}

}  // namespace
