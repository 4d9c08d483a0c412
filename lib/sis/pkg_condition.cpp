// Conditions of IF and ELSEIF lines, read as the SDK's makesis reads them.

#include "sis/pkg_script.h"

#include <utility>

namespace kastra::sis::script {

bool Parser::condition(Expression& out, int depth)
{
    if (depth > kMaxConditionDepth)
        return error(where(m_tok), "the condition is nested too deeply");
    if (!relation(out, depth))
        return false;
    for (;;) {
        ExprType type = kExprAnd;
        if (wordIs(m_tok, "AND"))
            type = kExprAnd;
        else if (wordIs(m_tok, "OR"))
            type = kExprOr;
        else
            return true;
        if (!advance())
            return false;
        Expression rhs;
        if (!relation(rhs, depth))
            return false;
        Expression node;
        node.type = type;
        node.operands.push_back(std::move(out));
        node.operands.push_back(std::move(rhs));
        out = std::move(node);
    }
}

bool Parser::relation(Expression& out, int depth)
{
    if (!unary(out, depth))
        return false;
    static constexpr std::pair<std::u32string_view, ExprType> kOps[] = {
        {U"=", kExprEqual},         {U"<>", kExprNotEqual},     {U">", kExprGreater},
        {U"<", kExprLess},          {U">=", kExprGreaterEqual}, {U"<=", kExprLessEqual},
    };
    const ExprType* op = nullptr;
    for (const auto& [text, type] : kOps)
        if (punctIs(m_tok, text))
            op = &type;
    if (!op)
        return true;
    if (!advance())
        return false;
    Expression rhs;
    if (!unary(rhs, depth))
        return false;
    Expression node;
    node.type = *op;
    node.operands.push_back(std::move(out));
    node.operands.push_back(std::move(rhs));
    out = std::move(node);
    return true;
}

bool Parser::unary(Expression& out, int depth)
{
    if (depth > kMaxConditionDepth)
        return error(where(m_tok), "the condition is nested too deeply");
    if (++m_conditionNodes > kMaxConditionNodes)
        return error(where(m_tok), "the condition is too long");
    if (wordIs(m_tok, "NOT")) {
        if (!advance())
            return false;
        Expression operand;
        if (!unary(operand, depth + 1))
            return false;
        out.type = kExprNot;
        out.operands.push_back(std::move(operand));
        return true;
    }
    return primary(out, depth);
}

Expression Parser::numberLeaf(std::uint32_t value)
{
    Expression e;
    e.type = kExprNumber;
    e.value = value;
    return e;
}

bool Parser::primary(Expression& out, int depth)
{
    if (punctIs(m_tok, U"(")) {
        if (!advance() || !condition(out, depth + 1))
            return false;
        return expectPunct(U")", "')' to close the condition");
    }
    if (wordIs(m_tok, "EXISTS")) {
        if (!advance())
            return false;
        const bool paren = punctIs(m_tok, U"(");
        if (paren && !advance())
            return false;
        Expression name;
        name.type = kExprString;
        if (!expectString(name.text, "the file name after EXISTS"))
            return false;
        if (paren && !expectPunct(U")", "')' after the file name"))
            return false;
        out.type = kExprExists;
        out.operands.push_back(std::move(name));
        return true;
    }
    if (wordIs(m_tok, "DEVCAP") || wordIs(m_tok, "APPCAP")) {
        const bool app = wordIs(m_tok, "APPCAP");
        std::uint32_t first = 0, second = 0;
        if (!advance() || !expectPunct(U"(", app ? "'(' after APPCAP" : "'(' after DEVCAP")
            || !expectSigned(first, app ? "the application UID" : "a capability number"))
            return false;
        if (app && (!expectPunct(U",", "',' between the UID and the capability number")
                    || !expectSigned(second, "a capability number")))
            return false;
        if (!expectPunct(U")", app ? "')' after APPCAP's numbers" : "')' after DEVCAP's number"))
            return false;
        out.type = app ? kExprAppCap : kExprDevCap;
        out.operands.push_back(numberLeaf(first));
        if (app)
            out.operands.push_back(numberLeaf(second));
        return true;
    }
    if (m_tok.kind == Tok::String) {
        out.type = kExprString;
        return expectString(out.text, "a string");
    }
    if (punctIs(m_tok, U"-") || startsNumber(m_tok)) {
        out.type = kExprNumber;
        return expectSigned(out.value, "a number");
    }
    if (m_tok.kind != Tok::Word)
        return error(where(m_tok), "expected a condition, found " + describe(m_tok));
    const std::string name = asciiOf(m_tok.text);
    const auto attr = attributeId(name);
    if (!attr)
        return error(where(m_tok), "unknown condition variable '" + name + "'");
    out.type = kExprAttribute;
    out.value = *attr;
    return advance();
}

} // namespace kastra::sis::script
