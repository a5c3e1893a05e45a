// IEC 61131-3 structured text sources: the declarations an HMI needs (TYPE,
// VAR_GLOBAL, the variables of a PROGRAM); the statements of programs,
// function blocks and functions are stepped over token by token.

#include "plc/DeclaredProgram.h"
#include "plc/FormatDetection.h"
#include "plc/Readers.h"
#include "settings/TextTable.h"

#include <QRegularExpression>
#include <algorithm>

namespace ov::plc {

using settings::Text;

namespace {

struct Token {
    enum Kind { Word, Number, Literal, Location, Symbol, Comment, End };
    Kind kind = End;
    QString text;
    qint64 line = 0;
    qint64 endLine = 0;  // where a comment ends
};

QString NotClosed(const QString& block, const QString& end) {
    return Text(9353).replace(QStringLiteral("<b>"), block).replace(QStringLiteral("<e>"), end);
}

// A comment's words on one line, without the frame of stars many write.
QString CommentText(QStringView body) {
    qsizetype from = 0, to = body.size();
    while (from < to && (body[from] == u'*' || body[from] == u'/' || body[from].isSpace())) ++from;
    while (to > from && (body[to - 1] == u'*' || body[to - 1].isSpace())) --to;
    return body.mid(from, to - from).toString().simplified();
}

class Lexer {
public:
    explicit Lexer(QString text) : m_text(std::move(text)) {}

    // The next token; a comment, pragma or string left open gives nothing
    // and a message naming the line it began on.
    std::optional<Token> Next(QString* error) {
        const qsizetype n = m_text.size();
        while (true) {
            while (m_pos < n && m_text[m_pos].isSpace()) {
                if (m_text[m_pos] == u'\n') ++m_line;
                ++m_pos;
            }
            if (m_pos >= n) return Token{Token::End, {}, m_line, m_line};
            if (m_text[m_pos] != u'{') break;
            // A pragma ({attribute 'hide'}) says nothing about the data.
            if (!Until(m_pos + 1, u"}", QStringLiteral("{"), error)) return std::nullopt;
        }
        const qint64 line = m_line;
        const qsizetype start = m_pos;
        const QChar c = m_text[m_pos];
        const QChar next = m_pos + 1 < n ? m_text[m_pos + 1] : QChar();
        if ((c == u'(' || c == u'/') && next == u'*') {
            // Block comments nest: (* an (* inner *) comment *).
            const QChar close = c == u'(' ? u')' : u'/';
            int depth = 1;
            qsizetype i = m_pos + 2;
            while (i < n && depth > 0) {
                if (m_text[i] == u'\n') ++m_line;
                const bool opens = m_text[i] == c && i + 1 < n && m_text[i + 1] == u'*';
                const bool closes = m_text[i] == u'*' && i + 1 < n && m_text[i + 1] == close;
                depth += opens ? 1 : closes ? -1 : 0;
                i += opens || closes ? 2 : 1;
            }
            if (depth > 0) {
                *error = AtPlace(LineText(line), NotClosed(QString(c) + QStringLiteral("*"), QStringLiteral("*") + close));
                return std::nullopt;
            }
            m_pos = i;
            return Token{Token::Comment, CommentText(QStringView(m_text).mid(start + 2, i - start - 4)), line, m_line};
        }
        if (c == u'/' && next == u'/') {
            qsizetype end = m_text.indexOf(u'\n', m_pos);
            if (end < 0) end = n;
            m_pos = end;
            return Token{Token::Comment, CommentText(QStringView(m_text).mid(start + 2, end - start - 2)), line, line};
        }
        if (c == u'\'' || c == u'"') {
            // $' and $" stand for the quote inside a string.
            qsizetype i = m_pos + 1;
            while (i < n && m_text[i] != c) {
                if (m_text[i] == u'$') ++i;
                if (i < n && m_text[i] == u'\n') ++m_line;
                ++i;
            }
            if (i >= n) {
                *error = AtPlace(LineText(line), NotClosed(QString(c), QString(c)));
                return std::nullopt;
            }
            m_pos = i + 1;
            return Token{Token::Literal, m_text.mid(start, m_pos - start), line, line};
        }
        Token::Kind kind = Token::Symbol;
        if (c == u'%') {
            kind = Token::Location;
            ++m_pos;
            while (m_pos < n && (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == u'.' || m_text[m_pos] == u'*'))
                ++m_pos;
        } else if (c.isLetter() || c == u'_') {
            kind = Token::Word;
            while (m_pos < n && (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == u'_')) ++m_pos;
        } else if (c.isDigit()) {
            // 16#FF, 1_000, 2.5; "0..7" is a number, a range and a number.
            kind = Token::Number;
            while (m_pos < n && (m_text[m_pos].isLetterOrNumber() || m_text[m_pos] == u'_' || m_text[m_pos] == u'#' ||
                                 (m_text[m_pos] == u'.' && m_pos + 1 < n && m_text[m_pos + 1].isDigit())))
                ++m_pos;
        } else {
            static const QStringList pairs{QStringLiteral(":="), QStringLiteral(".."), QStringLiteral("=>"),
                                           QStringLiteral("<="), QStringLiteral(">="), QStringLiteral("<>")};
            const QStringView two = QStringView(m_text).mid(m_pos, 2);
            m_pos += pairs.contains(two) ? 2 : 1;
        }
        return Token{kind, m_text.mid(start, m_pos - start), line, line};
    }

private:
    // Steps past the end text; a message when the text ends first.
    bool Until(qsizetype from, QStringView end, const QString& block, QString* error) {
        const qsizetype found = m_text.indexOf(end, from);
        if (found < 0) {
            *error = AtPlace(LineText(m_line), NotClosed(block, end.toString()));
            return false;
        }
        m_line += QStringView(m_text).mid(m_pos, found - m_pos).count(u'\n');
        m_pos = found + end.size();
        return true;
    }

    QString m_text;
    qsizetype m_pos = 0;
    qint64 m_line = 1;
};

// A declaration of one or more names of a type: "a, b AT %IX0.1 : BOOL := TRUE;".
struct Declaration {
    std::vector<Token> names;
    QString location;
    QString type;
    QString comment;
};

class StructuredTextParser {
public:
    explicit StructuredTextParser(const QString& text) : m_lexer(text) {
        m_program.format = Text(9358);
        Fill();
    }

    std::optional<DeclaredProgram> Read(QString* error) {
        struct Open {
            Token opener;
            QLatin1StringView end;
        };
        std::vector<Open> open;  // configurations and resources, which hold global variables
        // Blocks of no interest to an HMI, stepped over whole.
        static const std::pair<QLatin1StringView, QLatin1StringView> skipped[] = {
            {QLatin1StringView("FUNCTION"), QLatin1StringView("END_FUNCTION")},
            {QLatin1StringView("METHOD"), QLatin1StringView("END_METHOD")},
            {QLatin1StringView("ACTION"), QLatin1StringView("END_ACTION")},
            {QLatin1StringView("PROPERTY"), QLatin1StringView("END_PROPERTY")},
            {QLatin1StringView("INTERFACE"), QLatin1StringView("END_INTERFACE")},
            {QLatin1StringView("VAR_CONFIG"), QLatin1StringView("END_VAR")},
            {QLatin1StringView("VAR_ACCESS"), QLatin1StringView("END_VAR")},
        };
        while (m_peek.kind != Token::End) {
            const Token token = Next();
            const auto skip = std::find_if(std::begin(skipped), std::end(skipped),
                                           [&](const auto& block) { return Is(token, block.first); });
            if (Is(token, "TYPE")) {
                ReadTypes(token);
            } else if (Is(token, "VAR_GLOBAL")) {
                ReadVariables(token, {});
            } else if (Is(token, "PROGRAM")) {
                ReadProgram(token);
            } else if (Is(token, "FUNCTION_BLOCK")) {
                while (IsAnyOf(m_peek, {"PUBLIC", "INTERNAL", "ABSTRACT", "FINAL"})) Next();
                if (const std::optional<Token> name = ExpectName()) m_program.functionBlocks.insert(name->text.toCaseFolded());
                SkipTo(token, QLatin1StringView("END_FUNCTION_BLOCK"));
            } else if (skip != std::end(skipped)) {
                SkipTo(token, skip->second);
            } else if (Is(token, "CONFIGURATION")) {
                ExpectName();
                open.push_back({token, QLatin1StringView("END_CONFIGURATION")});
            } else if (Is(token, "RESOURCE")) {
                ExpectName();
                if (Expect("ON")) ExpectName();
                open.push_back({token, QLatin1StringView("END_RESOURCE")});
            } else if (Is(token, "TASK")) {
                SkipPast(token, QStringLiteral(";"));
            } else if (!open.empty() && Is(token, open.back().end)) {
                open.pop_back();
            } else {
                Unexpected(token, open.empty() ? QStringLiteral("TYPE, VAR_GLOBAL, PROGRAM, FUNCTION_BLOCK, FUNCTION")
                                               : QString(open.back().end));
            }
        }
        if (!open.empty()) Fail(open.back().opener.line, NotClosed(open.back().opener.text, open.back().end));
        if (!m_error.isEmpty()) {
            *error = m_error;
            return std::nullopt;
        }
        return std::move(m_program);
    }

private:
    static bool Is(const Token& token, QLatin1StringView keyword) {
        return token.kind == Token::Word && token.text.compare(keyword, Qt::CaseInsensitive) == 0;
    }
    static bool Is(const Token& token, const char* keyword) { return Is(token, QLatin1StringView(keyword)); }
    static bool IsAnyOf(const Token& token, std::initializer_list<const char*> keywords) {
        return std::any_of(keywords.begin(), keywords.end(), [&](const char* keyword) { return Is(token, keyword); });
    }
    static bool IsSymbol(const Token& token, QStringView symbol) {
        return token.kind == Token::Symbol && token.text == symbol;
    }

    // The next token that is no comment; the comments before it are kept
    // for the declaration that follows.
    void Fill() {
        m_gap.clear();
        while (m_error.isEmpty()) {
            QString problem;
            std::optional<Token> token = m_lexer.Next(&problem);
            if (!token) {
                m_error = problem;
                break;
            }
            if (token->kind != Token::Comment) {
                m_peek = std::move(*token);
                return;
            }
            m_gap.push_back(std::move(*token));
        }
        m_peek = Token{Token::End, {}, m_peek.line, m_peek.line};
        m_gap.clear();
    }

    Token Next() {
        Token token = std::move(m_peek);
        m_lineBeforeLast = m_lastLine;
        m_lastLine = token.line;
        m_gapBeforeLast = std::move(m_gap);
        Fill();
        return token;
    }

    // The first problem found is the one reported; reading stops at it.
    void Fail(qint64 line, const QString& message) {
        if (m_error.isEmpty()) m_error = AtPlace(LineText(line), message);
        m_peek = Token{Token::End, {}, line, line};
        m_gap.clear();
    }

    // The text ending inside a construct is reported by the block around
    // it, naming the line the block began on.
    void Unexpected(const Token& token, const QString& expected) {
        if (token.kind == Token::End) return;
        Fail(token.line, Text(9354).replace(QStringLiteral("<t>"), token.text).replace(QStringLiteral("<e>"), expected));
    }

    bool Expect(const char* text) {
        const bool keyword = QChar::fromLatin1(text[0]).isLetter();
        if (keyword ? Is(m_peek, text) : IsSymbol(m_peek, QString::fromLatin1(text))) {
            Next();
            return true;
        }
        Unexpected(m_peek, QString::fromLatin1(text));
        return false;
    }

    std::optional<Token> ExpectName() {
        if (m_peek.kind == Token::Word) return Next();
        Unexpected(m_peek, Text(9355));
        return std::nullopt;
    }

    void SkipTo(const Token& opener, QLatin1StringView end) {
        while (m_peek.kind != Token::End)
            if (Is(Next(), end)) return;
        Fail(opener.line, NotClosed(opener.text, end));
    }

    void SkipPast(const Token& opener, const QString& symbol) {
        while (m_peek.kind != Token::End)
            if (IsSymbol(Next(), symbol)) return;
        Fail(opener.line, NotClosed(opener.text, symbol));
    }

    // Tokens up to a ";" or ":=" outside brackets: a type as written, or
    // an initial value that is stepped over ("(a := 1, s := ';')").
    QString Until(bool stopAtAssignment) {
        QString text;
        int depth = 0;
        Token::Kind last = Token::End;
        while (m_peek.kind != Token::End) {
            if (depth == 0 && (IsSymbol(m_peek, u";") || (stopAtAssignment && IsSymbol(m_peek, u":=")))) break;
            if (IsSymbol(m_peek, u"(") || IsSymbol(m_peek, u"[")) ++depth;
            if ((IsSymbol(m_peek, u")") || IsSymbol(m_peek, u"]")) && depth > 0) --depth;
            const bool word = m_peek.kind == Token::Word || m_peek.kind == Token::Number;
            if (word && (last == Token::Word || last == Token::Number)) text += u' ';
            last = m_peek.kind;
            text += Next().text;
        }
        return text;
    }

    // A type as written; a subrange ("INT (0..100)") holds the values of its base type.
    QString ReadType() {
        static const QRegularExpression subrange(QStringLiteral(R"(^(\w+)\(-?\d+\.\.-?\d+\)$)"));
        const QString type = Until(true);
        const auto match = subrange.match(type);
        return match.hasMatch() ? match.captured(1) : type;
    }

    // The comments on the lines just above the coming token (or before it
    // on its line); one on the line of the token before belongs to that.
    static QString CommentAbove(const std::vector<Token>& gap, qint64 line, qint64 lineBefore) {
        QStringList lines;
        qint64 want = line;
        for (auto it = gap.rbegin(); it != gap.rend() && it->endLine >= want - 1 && it->line != lineBefore; ++it) {
            lines.prepend(it->text);
            want = it->line;
        }
        return lines.join(u' ').simplified();
    }

    // The comments after a declaration on the line it ends on.
    QString CommentAfter(qint64 line) {
        QStringList lines;
        auto it = m_gap.begin();
        for (; it != m_gap.end() && it->line == line; ++it) lines << it->text;
        m_gap.erase(m_gap.begin(), it);
        return lines.join(u' ').simplified();
    }

    std::optional<Declaration> ReadDeclaration() {
        Declaration declaration;
        const QString above = CommentAbove(m_gap, m_peek.line, m_lastLine);
        while (true) {
            const std::optional<Token> name = ExpectName();
            if (!name) return std::nullopt;
            declaration.names.push_back(*name);
            if (!IsSymbol(m_peek, u",")) break;
            Next();
        }
        if (Is(m_peek, "AT")) {
            Next();
            if (m_peek.kind != Token::Location) {
                Unexpected(m_peek, QStringLiteral("%IX0.0"));
                return std::nullopt;
            }
            declaration.location = Next().text;
        }
        if (!Expect(":")) return std::nullopt;
        declaration.type = ReadType();
        if (IsSymbol(m_peek, u":=")) {
            Next();
            Until(false);
        }
        const qint64 line = m_peek.line;
        if (!Expect(";")) return std::nullopt;
        const QString after = CommentAfter(line);
        declaration.comment = after.isEmpty() ? above : after;
        return declaration;
    }

    // VAR_GLOBAL, VAR, VAR_INPUT or VAR_OUTPUT, read to its END_VAR.
    void ReadVariables(const Token& opener, const QStringList& prefix) {
        bool constant = false;
        while (IsAnyOf(m_peek, {"CONSTANT", "RETAIN", "NON_RETAIN", "PERSISTENT"})) constant |= Is(Next(), "CONSTANT");
        while (m_peek.kind != Token::End) {
            if (Is(m_peek, "END_VAR")) {
                Next();
                return;
            }
            if (m_peek.kind != Token::Word) {
                Unexpected(m_peek, QStringLiteral("END_VAR"));
                return;
            }
            const std::optional<Declaration> declaration = ReadDeclaration();
            if (!declaration) break;
            for (const Token& name : declaration->names) {
                m_program.variables.push_back({prefix + QStringList{name.text}, declaration->type, declaration->location,
                                               declaration->comment, constant, LineText(name.line)});
                if (m_program.variables.size() > static_cast<std::size_t>(kMaxVariables)) Fail(name.line, TooManyVariables());
            }
        }
        Fail(opener.line, NotClosed(opener.text, QStringLiteral("END_VAR")));
    }

    void ReadProgram(const Token& opener) {
        const std::optional<Token> name = ExpectName();
        if (!name) return;
        if (Is(m_peek, "WITH") || IsSymbol(m_peek, u":")) {
            // A program instance of a resource ("PROGRAM main WITH cycle : Main;").
            SkipPast(opener, QStringLiteral(";"));
            return;
        }
        while (m_peek.kind != Token::End) {
            if (IsAnyOf(m_peek, {"VAR", "VAR_INPUT", "VAR_OUTPUT"})) {
                const Token block = Next();
                ReadVariables(block, {name->text});
            } else if (IsAnyOf(m_peek, {"VAR_TEMP", "VAR_IN_OUT", "VAR_EXTERNAL", "VAR_INST", "VAR_STAT"})) {
                // Not the program's own data, or not kept from one cycle to the next.
                const Token block = Next();
                SkipTo(block, QLatin1StringView("END_VAR"));
            } else {
                SkipTo(opener, QLatin1StringView("END_PROGRAM"));  // the statements
                return;
            }
        }
        Fail(opener.line, NotClosed(opener.text, QStringLiteral("END_PROGRAM")));
    }

    bool DeclareType(const Token& name) {
        if (m_typeNames.contains(name.text.toCaseFolded())) {
            Fail(name.line, Text(9345).replace(QStringLiteral("<t>"), name.text));
            return false;
        }
        m_typeNames.insert(name.text.toCaseFolded());
        return true;
    }

    // A TYPE block with one or more types: structures, enumerations, aliases.
    void ReadTypes(const Token& opener) {
        const std::vector<Token> gapBeforeOpener = m_gapBeforeLast;
        const qint64 lineBeforeOpener = m_lineBeforeLast;
        bool first = true;
        while (m_peek.kind != Token::End) {
            if (Is(m_peek, "END_TYPE")) {
                Next();
                return;
            }
            // "TYPE ST_Motor :" takes the comment above the TYPE.
            QString above = CommentAbove(m_gap, m_peek.line, m_lastLine);
            if (above.isEmpty() && first && m_peek.line == opener.line)
                above = CommentAbove(gapBeforeOpener, opener.line, lineBeforeOpener);
            first = false;
            const std::optional<Token> name = ExpectName();
            if (!name || !Expect(":")) return;
            if (IsSymbol(m_peek, u"(")) {
                // An enumeration, with an optional base type and initial value.
                Until(false);
                if (!Expect(";") || !DeclareType(*name)) return;
                m_program.aliases.insert(name->text.toCaseFolded(), QStringLiteral("INT"));
            } else if (Is(m_peek, "STRUCT")) {
                const Token open = Next();
                const QString after = CommentAfter(open.line);
                DeclaredStructure structure{name->text, {}, after.isEmpty() ? above : after, LineText(name->line)};
                if (!ReadMembers(open, &structure) || !DeclareType(*name)) return;
                m_program.structures.push_back(std::move(structure));
            } else {
                const QString type = ReadType();
                if (IsSymbol(m_peek, u":=")) {
                    Next();
                    Until(false);
                }
                if (!Expect(";") || !DeclareType(*name)) return;
                m_program.aliases.insert(name->text.toCaseFolded(), type);
            }
        }
        Fail(opener.line, NotClosed(opener.text, QStringLiteral("END_TYPE")));
    }

    bool ReadMembers(const Token& opener, DeclaredStructure* structure) {
        while (m_peek.kind != Token::End) {
            if (Is(m_peek, "END_STRUCT")) {
                Next();
                if (IsSymbol(m_peek, u";")) Next();
                return true;
            }
            if (m_peek.kind != Token::Word) {
                Unexpected(m_peek, QStringLiteral("END_STRUCT"));
                return false;
            }
            const std::optional<Declaration> declaration = ReadDeclaration();
            if (!declaration) break;
            for (const Token& member : declaration->names)
                structure->members.push_back({member.text, declaration->type, declaration->comment});
        }
        Fail(opener.line, NotClosed(opener.text, QStringLiteral("END_STRUCT")));
        return false;
    }

    Lexer m_lexer;
    Token m_peek;
    std::vector<Token> m_gap;            // comments between the last token read and m_peek
    std::vector<Token> m_gapBeforeLast;  // comments before the last token read
    qint64 m_lastLine = 0;
    qint64 m_lineBeforeLast = 0;
    QString m_error;
    DeclaredProgram m_program;
    QSet<QString> m_typeNames;  // folded
};

}  // namespace

std::optional<PlcProgram> ReadStructuredText(const QByteArray& content, QString* error) {
    StructuredTextParser parser(SourceText(content));
    const std::optional<DeclaredProgram> declared = parser.Read(error);
    if (!declared) return std::nullopt;
    return Resolve(*declared, error);
}

}  // namespace ov::plc
