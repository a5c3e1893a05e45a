#include "plc/FormatDetection.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <algorithm>

namespace ov::plc {

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

// The root element decides; the head may end anywhere after it.
PlcFormat XmlFormat(const QByteArray& head) {
    QXmlStreamReader xml(head);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        if (xml.name() == u"project" && IsPlcOpenNamespace(xml.namespaceUri())) return PlcFormat::PlcOpenXml;
        if (xml.name() == u"PlcProjectInfo") return PlcFormat::TwinCatSymbols;
        return PlcFormat::Unknown;
    }
    return PlcFormat::Unknown;
}

// The text with comments, pragmas and string literals blanked out, so a
// keyword in them does not count. A comment the head cuts off blanks the rest.
QString CodeOnly(const QString& text) {
    QString code = text;
    const qsizetype n = code.size();
    const auto blank = [&code, n](qsizetype from, qsizetype to) {
        for (qsizetype k = from; k < std::min(to, n); ++k)
            if (code[k] != u'\n') code[k] = u' ';
    };
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        const QChar next = i + 1 < n ? text[i + 1] : QChar();
        qsizetype end = i + 1;
        if ((c == u'(' && next == u'*') || (c == u'/' && next == u'*')) {
            const QChar open = c, close = c == u'(' ? u')' : u'/';
            int depth = 1;
            end = i + 2;
            while (end < n && depth > 0) {
                if (text[end] == open && end + 1 < n && text[end + 1] == u'*') depth++, end += 2;
                else if (text[end] == u'*' && end + 1 < n && text[end + 1] == close) depth--, end += 2;
                else end++;
            }
        } else if (c == u'/' && next == u'/') {
            end = text.indexOf(u'\n', i);
            if (end < 0) end = n;
        } else if (c == u'{') {
            end = text.indexOf(u'}', i);
            end = end < 0 ? n : end + 1;
        } else if (c == u'\'' || c == u'"') {
            while (end < n && text[end] != c) end += text[end] == u'$' ? 2 : 1;
            end = std::min(end + 1, n);
        } else {
            i++;
            continue;
        }
        blank(i, end);
        i = end;
    }
    return code;
}

bool IsStructuredText(const QByteArray& head) {
    if (head.contains('\0')) return false;
    static const QRegularExpression declaration(
        QStringLiteral(R"(^[ \t]*(?:TYPE(?:[ \t]+\w+\s*(?::|EXTENDS\b)|[ \t\r]*$)|VAR_GLOBAL\b|PROGRAM[ \t]+\w+[ \t\r]*(?:$|VAR)))"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
    return declaration.match(CodeOnly(SourceText(head))).hasMatch();
}

}  // namespace

bool IsPlcOpenNamespace(QStringView uri) {
    return uri == u"http://www.plcopen.org/xml/tc6_0201" || uri == u"http://www.plcopen.org/xml/tc6_0200" ||
           uri == u"http://www.plcopen.org/xml/tc6.xsd";
}

QString SourceText(const QByteArray& content) {
    const QByteArray bytes = content.startsWith(kUtf8Mark) ? content.mid(kUtf8Mark.size()) : content;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = QString::fromLatin1(bytes);
    return text;
}

PlcFormat DetectFormat(const QByteArray& head) {
    if (head.startsWith(QByteArray("PK\x03\x04", 4))) return PlcFormat::TiaTagTable;
    const QByteArray start = (head.startsWith(kUtf8Mark) ? head.mid(kUtf8Mark.size()) : head).trimmed();
    const bool utf16 = head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF");
    if (start.startsWith('<') || utf16) return XmlFormat(head);
    return IsStructuredText(head) ? PlcFormat::StructuredText : PlcFormat::Unknown;
}

}  // namespace ov::plc
