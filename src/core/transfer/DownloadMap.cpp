#include "transfer/DownloadMap.h"

#include <QBuffer>
#include <QFileDevice>
#include <QIODevice>

#include <algorithm>
#include <cctype>
#include <limits>

namespace tunelix::transfer {

TSegment &TSegmentCollection::Add()
{
    m_items.emplace_back();
    return m_items.back();
}

void TDownloadMap::Loaded()
{
    for (TSegment &s : m_segments)
        s.InUse = false;
}

bool TDownloadMap::AllCompleted() const
{
    return std::all_of(m_segments.begin(), m_segments.end(), [](const TSegment &s) { return s.Completed; });
}

bool TDownloadMap::AllInUse() const
{
    return std::all_of(m_segments.begin(), m_segments.end(), [](const TSegment &s) { return s.InUse; });
}

int TDownloadMap::IncompleteCount() const
{
    return static_cast<int>(
        std::count_if(m_segments.begin(), m_segments.end(), [](const TSegment &s) { return !s.Completed; }));
}

std::uint64_t TDownloadMap::BytesDone() const
{
    std::uint64_t done = 0;
    for (const TSegment &s : m_segments)
        done += s.Completed ? (s.SegmentEnd - s.SegmentBegin)
                            : (s.SegmentStart >= s.SegmentBegin ? s.SegmentStart - s.SegmentBegin : 0);
    return done;
}

void layOutDownloadMap(TDownloadMap &map, std::uint32_t size, std::uint32_t segmentSize, const QString &md5)
{
    map.Size = size;
    map.FileMD5Code = md5;
    if (segmentSize == 0)
        throw std::invalid_argument("segment size 0");
    // 64-bit arithmetic: p + S must not wrap for sizes near 2^32.
    for (std::uint64_t p = 0; p < size; p += segmentSize) {
        TSegment &s = map.Segments().Add();
        s.SegmentBegin = s.SegmentStart = static_cast<std::uint32_t>(p);
        s.SegmentEnd = static_cast<std::uint32_t>(std::min<std::uint64_t>(size, p + segmentSize));
    }
}

// ---------------------------------------------------------------- writing

namespace {

const char kEol[] = "\r\n";

void indent(QByteArray &out, int level)
{
    out.append(QByteArray(level * 2, ' '));
}

// Numbers are stored as signed 32-bit values: 2^31 and above come out negative.
QByteArray number(std::uint32_t v)
{
    return QByteArray::number(static_cast<std::int32_t>(v));
}

// One piece sequence for `text`: runs of printable characters other than the quote
// stand between quotes, every other character is #code.
QByteArray quotedPieces(const QString &text)
{
    QByteArray out;
    bool inQuote = false;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u >= 32 && u != 39 && u <= 255) {
            if (!inQuote) {
                out.append('\'');
                inQuote = true;
            }
            out.append(static_cast<char>(u));
        } else {
            if (inQuote) {
                out.append('\'');
                inQuote = false;
            }
            out.append('#').append(QByteArray::number(u));
        }
    }
    if (inQuote)
        out.append('\'');
    if (text.isEmpty())
        out = "''";
    return out;
}

void writeTextProperty(QByteArray &out, int level, const char *name, const QString &value)
{
    indent(out, level);
    out.append(name).append(" = ");
    if (value.size() <= 64) {
        out.append(quotedPieces(value)).append(kEol);
        return;
    }
    out.append(kEol);
    for (qsizetype i = 0; i < value.size(); i += 64) {
        indent(out, level + 1);
        out.append(quotedPieces(value.mid(i, 64)));
        if (i + 64 < value.size())
            out.append(" +");
        out.append(kEol);
    }
}

void writeNumberProperty(QByteArray &out, int level, const char *name, std::uint32_t value)
{
    indent(out, level);
    out.append(name).append(" = ").append(number(value)).append(kEol);
}

} // namespace

QByteArray TTextComponentStreamer::toText(const TDownloadMap &map)
{
    QByteArray out;
    out.append("object TDownloadMap").append(kEol);
    if (!map.FileMD5Code.isEmpty())
        writeTextProperty(out, 1, "FileMD5Code", map.FileMD5Code);
    writeNumberProperty(out, 1, "Size", map.Size);
    indent(out, 1);
    out.append("Segments = <");
    for (const TSegment &s : map.Segments()) {
        out.append(kEol);
        indent(out, 2);
        out.append("item").append(kEol);
        if (!s.SegmentMD5.isEmpty())
            writeTextProperty(out, 3, "SegmentMD5", s.SegmentMD5);
        if (s.SegmentBegin != 0)
            writeNumberProperty(out, 3, "SegmentBegin", s.SegmentBegin);
        if (s.SegmentStart != 0)
            writeNumberProperty(out, 3, "SegmentStart", s.SegmentStart);
        if (s.SegmentEnd != 0)
            writeNumberProperty(out, 3, "SegmentEnd", s.SegmentEnd);
        if (s.SegmentLength() != 0)
            writeNumberProperty(out, 3, "SegmentLength", s.SegmentLength());
        if (s.Completed) {
            indent(out, 3);
            out.append("Completed = True").append(kEol);
        }
        indent(out, 2);
        out.append("end");
    }
    out.append('>').append(kEol);
    out.append("end").append(kEol);
    return out;
}

void TTextComponentStreamer::SaveComponent(const TDownloadMap &component, QIODevice &stream) const
{
    const QByteArray text = toText(component);
    if (!stream.isSequential()) {
        if (!stream.seek(0))
            throw std::runtime_error("cannot rewind the map stream");
        // A file or buffer that held a longer text must end with the new one.
        if (auto *file = qobject_cast<QFileDevice *>(&stream)) {
            if (!file->resize(0))
                throw std::runtime_error("cannot empty the map file");
        } else if (auto *buffer = qobject_cast<QBuffer *>(&stream)) {
            buffer->buffer().clear();
        }
    }
    if (stream.write(text) != text.size())
        throw std::runtime_error("cannot write the map");
}

// ---------------------------------------------------------------- reading

namespace {

enum class Tok { Ident, Number, String, Symbol, End };

struct Token
{
    Tok kind = Tok::End;
    QByteArray text;   // identifier or symbol
    qint64 number = 0; // Number
    QString string;    // String
};

class Lexer
{
public:
    explicit Lexer(const QByteArray &text) : m_text(text) {}

    Token next()
    {
        skipBlanks();
        Token t;
        if (m_pos >= m_text.size())
            return t;
        const char c = m_text.at(m_pos);
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size()
                   && (std::isalnum(static_cast<unsigned char>(m_text.at(m_pos))) || m_text.at(m_pos) == '_'
                       || m_text.at(m_pos) == '.'))
                ++m_pos;
            t.kind = Tok::Ident;
            t.text = m_text.mid(start, m_pos - start);
            return t;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+') {
            // '+' also joins string pieces; a '+' here stands before a number.
            const qsizetype start = m_pos;
            ++m_pos;
            while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text.at(m_pos))))
                ++m_pos;
            const QByteArray digits = m_text.mid(start, m_pos - start);
            if (digits == "-" || digits == "+" || digits.size() > 12)
                throw MapFormatError("bad number");
            bool ok = false;
            t.number = digits.toLongLong(&ok);
            if (!ok)
                throw MapFormatError("bad number");
            t.kind = Tok::Number;
            return t;
        }
        if (c == '\'' || c == '#') {
            t.kind = Tok::String;
            t.string = readString();
            return t;
        }
        ++m_pos;
        t.kind = Tok::Symbol;
        t.text = QByteArray(1, c);
        return t;
    }

private:
    void skipBlanks()
    {
        while (m_pos < m_text.size() && static_cast<unsigned char>(m_text.at(m_pos)) <= ' ')
            ++m_pos;
    }

    // Pieces ('...' and #n), possibly joined over lines by '+'.
    QString readString()
    {
        QString out;
        for (;;) {
            readPieces(out);
            const qsizetype save = m_pos;
            skipBlanks();
            if (m_pos < m_text.size() && m_text.at(m_pos) == '+') {
                ++m_pos;
                skipBlanks();
                if (m_pos < m_text.size() && (m_text.at(m_pos) == '\'' || m_text.at(m_pos) == '#'))
                    continue;
                throw MapFormatError("'+' not followed by text");
            }
            m_pos = save;
            return out;
        }
    }

    void readPieces(QString &out)
    {
        bool any = false;
        while (m_pos < m_text.size()) {
            const char c = m_text.at(m_pos);
            if (c == '\'') {
                ++m_pos;
                for (;;) {
                    if (m_pos >= m_text.size() || m_text.at(m_pos) == '\r' || m_text.at(m_pos) == '\n')
                        throw MapFormatError("unterminated text");
                    const char d = m_text.at(m_pos++);
                    if (d == '\'') {
                        if (m_pos < m_text.size() && m_text.at(m_pos) == '\'') {
                            out.append(QLatin1Char('\''));
                            ++m_pos;
                            continue;
                        }
                        break;
                    }
                    out.append(QLatin1Char(d));
                }
                any = true;
            } else if (c == '#') {
                ++m_pos;
                const qsizetype start = m_pos;
                while (m_pos < m_text.size() && std::isdigit(static_cast<unsigned char>(m_text.at(m_pos))))
                    ++m_pos;
                bool ok = false;
                const int code = m_text.mid(start, m_pos - start).toInt(&ok);
                if (!ok || code > 0xFFFF)
                    throw MapFormatError("bad character code");
                out.append(QChar(static_cast<char16_t>(code)));
                any = true;
            } else {
                break;
            }
        }
        if (!any)
            throw MapFormatError("text expected");
    }

    const QByteArray &m_text;
    qsizetype m_pos = 0;
};

class Parser
{
public:
    explicit Parser(const QByteArray &text) : m_lex(text) { advance(); }

    void parseMap(TDownloadMap &map)
    {
        expectIdent("object");
        // "object [Name:] ClassName": the class name is ignored.
        if (m_tok.kind != Tok::Ident)
            throw MapFormatError("class name expected");
        advance();
        if (isSymbol(":")) {
            advance();
            if (m_tok.kind != Tok::Ident)
                throw MapFormatError("class name expected");
            advance();
        }
        while (!isIdent("end")) {
            const QByteArray name = propertyName();
            if (name.compare("FileMD5Code", Qt::CaseInsensitive) == 0)
                map.FileMD5Code = stringValue();
            else if (name.compare("Size", Qt::CaseInsensitive) == 0)
                map.Size = numberValue();
            else if (name.compare("Segments", Qt::CaseInsensitive) == 0)
                parseSegments(map.Segments());
            else
                throw MapFormatError("unknown property " + name.toStdString());
        }
        advance(); // end
        if (m_tok.kind != Tok::End)
            throw MapFormatError("text after the end");
    }

private:
    void advance() { m_tok = m_lex.next(); }
    bool isIdent(const char *word) const
    {
        return m_tok.kind == Tok::Ident && m_tok.text.compare(word, Qt::CaseInsensitive) == 0;
    }
    bool isSymbol(const char *s) const { return m_tok.kind == Tok::Symbol && m_tok.text == s; }
    void expectIdent(const char *word)
    {
        if (!isIdent(word))
            throw MapFormatError(std::string("'") + word + "' expected");
        advance();
    }
    void expectSymbol(const char *s)
    {
        if (!isSymbol(s))
            throw MapFormatError(std::string("'") + s + "' expected");
        advance();
    }

    QByteArray propertyName()
    {
        if (m_tok.kind != Tok::Ident)
            throw MapFormatError("property name expected");
        QByteArray name = m_tok.text;
        advance();
        expectSymbol("=");
        return name;
    }

    QString stringValue()
    {
        if (m_tok.kind != Tok::String)
            throw MapFormatError("text value expected");
        QString s = m_tok.string;
        advance();
        return s;
    }

    std::uint32_t numberValue()
    {
        if (m_tok.kind != Tok::Number)
            throw MapFormatError("number expected");
        const qint64 v = m_tok.number;
        if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
            throw MapFormatError("number outside the signed 32-bit range");
        advance();
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(v));
    }

    bool boolValue()
    {
        if (isIdent("True")) {
            advance();
            return true;
        }
        if (isIdent("False")) {
            advance();
            return false;
        }
        throw MapFormatError("True or False expected");
    }

    void parseSegments(TSegmentCollection &segments)
    {
        expectSymbol("<");
        while (!isSymbol(">")) {
            expectIdent("item");
            if (isSymbol("[")) { // an item index, as the general form allows
                advance();
                numberValue();
                expectSymbol("]");
            }
            TSegment &s = segments.Add();
            while (!isIdent("end")) {
                const QByteArray name = propertyName();
                if (name.compare("SegmentMD5", Qt::CaseInsensitive) == 0)
                    s.SegmentMD5 = stringValue();
                else if (name.compare("SegmentBegin", Qt::CaseInsensitive) == 0)
                    s.SegmentBegin = numberValue();
                else if (name.compare("SegmentStart", Qt::CaseInsensitive) == 0)
                    s.SegmentStart = numberValue();
                else if (name.compare("SegmentEnd", Qt::CaseInsensitive) == 0)
                    s.SegmentEnd = numberValue();
                else if (name.compare("SegmentLength", Qt::CaseInsensitive) == 0)
                    numberValue(); // computed, the stored value is dropped
                else if (name.compare("Completed", Qt::CaseInsensitive) == 0)
                    s.Completed = boolValue();
                else
                    throw MapFormatError("unknown segment property " + name.toStdString());
            }
            advance(); // end
        }
        advance(); // >
    }

    Lexer m_lex;
    Token m_tok;
};

} // namespace

void TTextComponentStreamer::fromText(const QByteArray &text, TDownloadMap &map)
{
    Parser(text).parseMap(map);
    map.Loaded();
}

void TTextComponentStreamer::LoadComponent(QIODevice &stream, TDownloadMap &component) const
{
    if (!stream.isSequential() && !stream.seek(0))
        throw MapFormatError("cannot rewind the map stream");
    const QByteArray text = stream.readAll();
    fromText(text, component);
}

} // namespace tunelix::transfer
