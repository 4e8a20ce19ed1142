#include "rowset/RowsetReader.h"

#include "rowset/RowsetNames.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QUuid>
#include <QXmlStreamReader>

#include <algorithm>
#include <map>

namespace tunelix::rowset {

namespace {

bool sameUri(QStringView a, QLatin1String b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isTrue(QStringView v)
{
    return v.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || v == QLatin1String("1")
           || v == QLatin1String("-1");
}

bool isFalse(QStringView v)
{
    return v.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || v == QLatin1String("0");
}

struct ColumnDecl
{
    Column column;
    bool hidden = false;
    int documentIndex = 0;
    QString typeName;   // dt:type
    qint64 line = 0;
    qint64 col = 0;
};

class Parser
{
public:
    Parser(QIODevice &device, const QString &sourceName, RowsetSink &sink)
        : m_xml(&device), m_source(sourceName), m_sink(sink)
    {
        m_c.setNumberOptions(QLocale::RejectGroupSeparator);
    }

    void run();

private:
    [[noreturn]] void fail(const QString &what) const
    {
        throw RowsetError(QStringLiteral("%1: line %2, column %3: %4")
                              .arg(m_source)
                              .arg(m_xml.lineNumber())
                              .arg(m_xml.columnNumber())
                              .arg(what));
    }
    void failIfXmlError() const
    {
        if (m_xml.hasError())
            fail(m_xml.errorString());
    }
    // Next start element among the children of the current element; false at its end.
    bool nextChild();
    void skipElement();

    void readSchema();
    void readElementType();
    ColumnDecl readAttributeType();
    void readDataType(ColumnDecl &decl);
    void finishColumns();
    void readData();
    void readRow(Row &into);
    void readUpdate();
    void parseValue(QVariant &out, int column, QStringView text);

    bool isXdr() const { return sameUri(m_xml.namespaceUri(), kXdrNamespace); }
    bool isRowsetNs() const { return sameUri(m_xml.namespaceUri(), kRowsetNamespace); }
    bool isRow() const
    {
        return m_xml.namespaceUri() == kRowNamespace && m_xml.name() == QLatin1String("row");
    }

    QXmlStreamReader m_xml;
    QString m_source;
    RowsetSink &m_sink;
    QLocale m_c = QLocale::c();
    std::vector<ColumnDecl> m_declared;                // inside the row ElementType
    std::map<QString, ColumnDecl> m_schemaLevel;        // AttributeTypes under s:Schema
    std::vector<std::pair<QString, std::pair<qint64, qint64>>> m_references; // s:attribute type=
    bool m_sawElementType = false;
    std::vector<Column> m_columns;
    std::vector<QString> m_keys; // row attribute name per column, in column order
    Row m_row;                   // reused for every row, so a row costs no allocation of its own
};

bool Parser::nextChild()
{
    while (!m_xml.atEnd()) {
        switch (m_xml.readNext()) {
        case QXmlStreamReader::StartElement:
            return true;
        case QXmlStreamReader::EndElement:
            return false;
        default:
            break; // whitespace, comments, processing instructions and stray text carry nothing
        }
    }
    failIfXmlError();
    fail(QStringLiteral("unexpected end of the document"));
}

void Parser::skipElement()
{
    m_xml.skipCurrentElement();
    failIfXmlError();
}

void Parser::run()
{
    if (!m_xml.readNextStartElement()) {
        failIfXmlError();
        fail(QStringLiteral("the document has no root element"));
    }
    if (m_xml.name() != QLatin1String("xml") || !m_xml.namespaceUri().isEmpty())
        fail(QStringLiteral("the root element is <%1>, not <xml>").arg(m_xml.qualifiedName()));

    bool sawSchema = false;
    bool sawData = false;
    while (nextChild()) {
        if (isXdr() && m_xml.name() == QLatin1String("Schema")) {
            if (sawSchema)
                fail(QStringLiteral("a second schema section"));
            if (m_xml.attributes().value(QLatin1String("id")) != QLatin1String("RowsetSchema"))
                fail(QStringLiteral("the schema section is not id='RowsetSchema'"));
            readSchema();
            sawSchema = true;
        } else if (isRowsetNs() && m_xml.name() == QLatin1String("data")) {
            if (!sawSchema)
                fail(QStringLiteral("the data section comes before the schema section"));
            if (sawData)
                fail(QStringLiteral("a second data section"));
            readData();
            sawData = true;
        } else {
            skipElement();
        }
    }
    // Anything after the root must still be well-formed.
    while (!m_xml.atEnd())
        m_xml.readNext();
    failIfXmlError();
    if (!sawSchema)
        fail(QStringLiteral("the document has no schema section (s:Schema)"));
    if (!sawData)
        fail(QStringLiteral("the document has no data section (rs:data)"));
}

void Parser::readSchema()
{
    while (nextChild()) {
        if (isXdr() && m_xml.name() == QLatin1String("ElementType")) {
            if (m_sawElementType)
                fail(QStringLiteral("more than one row type in the schema"));
            m_sawElementType = true;
            readElementType();
        } else if (isXdr() && m_xml.name() == QLatin1String("AttributeType")) {
            ColumnDecl decl = readAttributeType();
            const QString key = decl.column.key;
            m_schemaLevel[key] = std::move(decl);
        } else {
            skipElement();
        }
    }
    if (!m_sawElementType)
        fail(QStringLiteral("the schema declares no row type (s:ElementType)"));
    finishColumns();
}

void Parser::readElementType()
{
    while (nextChild()) {
        if (!isXdr()) {
            skipElement();
            continue;
        }
        const QStringView name = m_xml.name();
        if (name == QLatin1String("AttributeType")) {
            m_declared.push_back(readAttributeType());
        } else if (name == QLatin1String("attribute")) {
            const QString type = m_xml.attributes().value(QLatin1String("type")).toString();
            if (type.isEmpty())
                fail(QStringLiteral("s:attribute without a type"));
            m_references.push_back({type, {m_xml.lineNumber(), m_xml.columnNumber()}});
            skipElement();
        } else if (name == QLatin1String("ElementType")) {
            fail(QStringLiteral("hierarchical recordsets (a nested row type) are not supported"));
        } else {
            skipElement(); // s:extends / s:Extends and anything else carry no column
        }
    }
}

ColumnDecl Parser::readAttributeType()
{
    ColumnDecl decl;
    decl.line = m_xml.lineNumber();
    decl.col = m_xml.columnNumber();
    decl.documentIndex = static_cast<int>(m_declared.size() + m_schemaLevel.size() + m_references.size());
    for (const QXmlStreamAttribute &a : m_xml.attributes()) {
        const QStringView ns = a.namespaceUri();
        const QStringView n = a.name();
        if (ns.isEmpty() && n == QLatin1String("name")) {
            decl.column.key = a.value().toString();
        } else if (sameUri(ns, kRowsetNamespace)) {
            if (n == QLatin1String("name"))
                decl.column.name = a.value().toString();
            else if (n == QLatin1String("number")) {
                bool ok = false;
                decl.column.number = m_c.toInt(a.value(), &ok);
                if (!ok || decl.column.number < 1)
                    fail(QStringLiteral("rs:number '%1' is not a positive integer").arg(a.value()));
            } else if (n == QLatin1String("nullable") && isFalse(a.value()))
                decl.column.nullable = false;
            else if (n == QLatin1String("hidden"))
                decl.hidden = isTrue(a.value());
        } else if (sameUri(ns, kDataTypeNamespace) && n == QLatin1String("type")) {
            decl.typeName = a.value().toString();
        }
    }
    if (decl.column.key.isEmpty())
        fail(QStringLiteral("a column (s:AttributeType) without a name"));
    while (nextChild()) {
        if (isXdr() && m_xml.name() == QLatin1String("datatype"))
            readDataType(decl);
        else
            skipElement();
    }
    return decl;
}

void Parser::readDataType(ColumnDecl &decl)
{
    for (const QXmlStreamAttribute &a : m_xml.attributes()) {
        const QStringView ns = a.namespaceUri();
        const QStringView n = a.name();
        if (sameUri(ns, kDataTypeNamespace)) {
            if (n == QLatin1String("type"))
                decl.typeName = a.value().toString();
            else if (n == QLatin1String("maxLength")) {
                // Long columns announce 2^31-1; only kept as information, never used to allocate.
                bool ok = false;
                const qint64 v = m_c.toLongLong(a.value(), &ok);
                decl.column.maxLength = ok ? static_cast<int>(std::clamp<qint64>(v, 0, INT_MAX)) : 0;
            }
        } else if (sameUri(ns, kRowsetNamespace)) {
            // rs:dbtype is not read: it only refines within a kind (see typeFromNames).
            if (n == QLatin1String("fixedlength"))
                decl.column.fixedLength = isTrue(a.value());
            else if (n == QLatin1String("long"))
                decl.column.isLong = isTrue(a.value());
            else if (n == QLatin1String("maybenull") && isFalse(a.value()))
                decl.column.nullable = false;
        }
    }
    skipElement();
}

// rs:dbtype only refines within a kind (currency, numeric, timestamp ...), so the
// XDR type alone decides the value model.
std::optional<ColumnType> typeFromNames(const QString &type)
{
    const QString t = type.toLower();
    if (t.isEmpty() || t == QLatin1String("string") || t == QLatin1String("char") || t == QLatin1String("uri"))
        return ColumnType::String;
    static const char *const ints[] = {"int", "i1", "i2", "i4", "i8", "ui1", "ui2", "ui4", "ui8"};
    for (const char *i : ints) {
        if (t == QLatin1String(i))
            return ColumnType::Int;
    }
    if (t == QLatin1String("float") || t == QLatin1String("r8") || t == QLatin1String("r4"))
        return ColumnType::Double;
    if (t == QLatin1String("number") || t == QLatin1String("fixed.14.4"))
        return ColumnType::Decimal;
    if (t == QLatin1String("boolean"))
        return ColumnType::Bool;
    if (t == QLatin1String("bin.hex"))
        return ColumnType::Bytes;
    if (t == QLatin1String("datetime") || t == QLatin1String("datetime.tz") || t == QLatin1String("date")
        || t == QLatin1String("time") || t == QLatin1String("time.tz"))
        return ColumnType::DateTime;
    if (t == QLatin1String("uuid"))
        return ColumnType::Uuid;
    return std::nullopt;
}

void Parser::finishColumns()
{
    std::vector<ColumnDecl> all = m_declared;
    for (const auto &[type, where] : m_references) {
        const auto it = m_schemaLevel.find(type);
        if (it == m_schemaLevel.end())
            throw RowsetError(QStringLiteral("%1: line %2, column %3: s:attribute refers to '%4', which the schema "
                                             "does not declare")
                                  .arg(m_source)
                                  .arg(where.first)
                                  .arg(where.second)
                                  .arg(type));
        all.push_back(it->second);
    }
    std::vector<ColumnDecl> visible;
    for (ColumnDecl &d : all) {
        if (d.column.name.isEmpty())
            d.column.name = d.column.key;
        const auto type = typeFromNames(d.typeName);
        if (!type)
            throw RowsetError(QStringLiteral("%1: line %2, column %3: column '%4' has the unsupported type '%5'")
                                  .arg(m_source)
                                  .arg(d.line)
                                  .arg(d.col)
                                  .arg(d.column.name, d.typeName));
        d.column.type = *type;
        if (!d.hidden)
            visible.push_back(std::move(d));
    }
    // Columns without an ordinal follow the numbered ones, in document order.
    std::stable_sort(visible.begin(), visible.end(), [](const ColumnDecl &a, const ColumnDecl &b) {
        const int na = a.column.number > 0 ? a.column.number : INT_MAX;
        const int nb = b.column.number > 0 ? b.column.number : INT_MAX;
        if (na != nb)
            return na < nb;
        return a.documentIndex < b.documentIndex;
    });
    for (size_t i = 0; i < visible.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (visible[j].column.key == visible[i].column.key)
                throw RowsetError(QStringLiteral("%1: line %2, column %3: column '%4' is declared twice")
                                      .arg(m_source)
                                      .arg(visible[i].line)
                                      .arg(visible[i].col)
                                      .arg(visible[i].column.key));
        }
        m_keys.push_back(visible[i].column.key);
        m_columns.push_back(visible[i].column);
    }
    m_sink.columns(m_columns);
}

void Parser::readData()
{
    while (nextChild()) {
        if (isRow()) {
            readRow(m_row);
            m_sink.row(m_row);
        } else if (isRowsetNs() && m_xml.name() == QLatin1String("insert")) {
            while (nextChild()) {
                if (!isRow())
                    fail(QStringLiteral("unexpected <%1> in rs:insert").arg(m_xml.qualifiedName()));
                readRow(m_row);
                m_sink.row(m_row);
            }
        } else if (isRowsetNs() && m_xml.name() == QLatin1String("update")) {
            readUpdate();
        } else if (isRowsetNs() && m_xml.name() == QLatin1String("delete")) {
            // Rows deleted before the save are not part of the recordset; still check them.
            while (nextChild()) {
                if (!isRow())
                    fail(QStringLiteral("unexpected <%1> in rs:delete").arg(m_xml.qualifiedName()));
                readRow(m_row);
            }
        } else {
            fail(QStringLiteral("unexpected <%1> in the data section").arg(m_xml.qualifiedName()));
        }
    }
}

void Parser::readUpdate()
{
    std::optional<Row> original;
    bool haveNew = false;
    Row merged;
    while (nextChild()) {
        if (isRowsetNs() && m_xml.name() == QLatin1String("original")) {
            if (original)
                fail(QStringLiteral("rs:update with two originals"));
            while (nextChild()) {
                if (!isRow() || original)
                    fail(QStringLiteral("rs:original must hold exactly one row"));
                original.emplace();
                readRow(*original);
            }
            if (!original)
                fail(QStringLiteral("rs:original must hold exactly one row"));
        } else if (isRow()) {
            if (!original)
                fail(QStringLiteral("rs:update: the new row comes before rs:original"));
            if (haveNew)
                fail(QStringLiteral("rs:update with two new rows"));
            // The new image may carry only the changed columns; the others keep the original value.
            const QXmlStreamAttributes attrs = m_xml.attributes();
            merged = *original;
            for (const QXmlStreamAttribute &a : attrs) {
                if (!a.namespaceUri().isEmpty())
                    continue;
                for (size_t c = 0; c < m_keys.size(); ++c) {
                    if (a.name() == m_keys[c]) {
                        parseValue(merged[c], static_cast<int>(c), a.value());
                        break;
                    }
                }
            }
            if (nextChild())
                fail(QStringLiteral("hierarchical recordsets (child rows) are not supported"));
            haveNew = true;
        } else {
            fail(QStringLiteral("unexpected <%1> in rs:update").arg(m_xml.qualifiedName()));
        }
    }
    if (!original || !haveNew)
        fail(QStringLiteral("rs:update needs rs:original and the new row"));
    m_sink.row(merged);
}

void Parser::readRow(Row &row)
{
    const size_t n = m_keys.size();
    row.assign(n, QVariant());
    std::vector<bool> seen(n, false);
    const QXmlStreamAttributes attrs = m_xml.attributes();
    size_t guess = 0;
    for (const QXmlStreamAttribute &a : attrs) {
        if (!a.namespaceUri().isEmpty())
            continue;
        const QStringView name = a.name();
        // Rows usually list their attributes in column order, so try the next column first.
        size_t found = n;
        if (guess < n && name == m_keys[guess])
            found = guess;
        else {
            for (size_t c = 0; c < n; ++c) {
                if (name == m_keys[c]) {
                    found = c;
                    break;
                }
            }
        }
        if (found == n)
            continue; // attributes the schema does not define are ignored
        guess = found + 1;
        seen[found] = true;
        parseValue(row[found], static_cast<int>(found), a.value());
    }
    for (size_t c = 0; c < n; ++c) {
        if (!seen[c] && !m_columns[c].nullable)
            fail(QStringLiteral("row without a value for the non-nullable column '%1'").arg(m_columns[c].name));
    }
    if (nextChild())
        fail(QStringLiteral("hierarchical recordsets (child rows) are not supported"));
}

// yyyy-MM-dd[Thh:mm:ss[.f{1,9}]][Z|(+|-)hh:mm], or a time alone hh:mm:ss[.f...].
// By hand: it runs for every date value of a daily file.
std::optional<QDateTime> parseDateTime(QStringView s)
{
    const qsizetype n = s.size();
    qsizetype i = 0;
    const auto digits = [&](int count, int &out) {
        if (i + count > n)
            return false;
        int v = 0;
        for (int k = 0; k < count; ++k) {
            const char16_t c = s[i + k].unicode();
            if (c < u'0' || c > u'9')
                return false;
            v = v * 10 + (c - u'0');
        }
        i += count;
        out = v;
        return true;
    };
    const auto take = [&](char16_t c) {
        if (i < n && s[i].unicode() == c) {
            ++i;
            return true;
        }
        return false;
    };
    QDate date(1899, 12, 30); // a time alone is a day-0 value
    QTime time(0, 0);
    bool haveDate = false;
    if (n >= 10 && s[4] == QLatin1Char('-')) {
        int y = 0, m = 0, d = 0;
        if (!digits(4, y) || !take(u'-') || !digits(2, m) || !take(u'-') || !digits(2, d))
            return std::nullopt;
        date = QDate(y, m, d);
        if (!date.isValid() || y < 1)
            return std::nullopt;
        haveDate = true;
    }
    if (!haveDate || take(u'T')) {
        int h = 0, m = 0, sec = 0;
        if (!digits(2, h) || !take(u':') || !digits(2, m) || !take(u':') || !digits(2, sec))
            return std::nullopt;
        int ms = 0;
        if (take(u'.')) {
            int fractionDigits = 0;
            int digit = 0;
            while (i < n && s[i].isDigit() && fractionDigits < 9) {
                digits(1, digit);
                if (fractionDigits < 3)
                    ms = ms * 10 + digit;
                ++fractionDigits;
            }
            if (fractionDigits == 0)
                return std::nullopt;
            for (int k = fractionDigits; k < 3; ++k)
                ms *= 10;
        }
        time = QTime(h, m, sec, ms);
        if (!time.isValid())
            return std::nullopt;
    }
    // A zone suffix is accepted and dropped: the catalogue holds naive times.
    if (!take(u'Z') && (take(u'+') || take(u'-'))) {
        int zh = 0, zm = 0;
        if (!digits(2, zh) || !take(u':') || !digits(2, zm))
            return std::nullopt;
    }
    if (i != n)
        return std::nullopt;
    // Naive wall-clock time: held as UTC so that no zone rule can shift it.
    return QDateTime(date, time, Qt::UTC);
}

void Parser::parseValue(QVariant &out, int column, QStringView text)
{
    const Column &c = m_columns[column];
    bool ok = true;
    switch (c.type) {
    case ColumnType::String:
        out = text.toString();
        return;
    case ColumnType::Int: {
        const qlonglong v = m_c.toLongLong(text, &ok);
        if (ok && !text.isEmpty() && !text.front().isSpace() && !text.back().isSpace()) {
            out = v;
            return;
        }
        break;
    }
    case ColumnType::Double: {
        const double v = m_c.toDouble(text, &ok);
        if (ok && !text.isEmpty() && !text.front().isSpace() && !text.back().isSpace()) {
            out = v;
            return;
        }
        break;
    }
    case ColumnType::Decimal: {
        static const QRegularExpression re(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
        if (re.match(text).hasMatch()) {
            out = text.toString();
            return;
        }
        break;
    }
    case ColumnType::Bool:
        if (isTrue(text)) {
            out = true;
            return;
        }
        if (isFalse(text)) {
            out = false;
            return;
        }
        break;
    case ColumnType::Bytes: {
        const QByteArray latin = text.toLatin1();
        if (latin.size() % 2 == 0
            && std::all_of(latin.begin(), latin.end(), [](char ch) { return std::isxdigit(static_cast<unsigned char>(ch)); })) {
            out = QByteArray::fromHex(latin);
            return;
        }
        break;
    }
    case ColumnType::DateTime:
        if (const auto dt = parseDateTime(text)) {
            out = *dt;
            return;
        }
        break;
    case ColumnType::Uuid: {
        QString hex = text.toString();
        hex.remove(QLatin1Char('{')).remove(QLatin1Char('}')).remove(QLatin1Char('-'));
        if (hex.size() == 32) {
            const QString canonical = QStringLiteral("{%1-%2-%3-%4-%5}").arg(hex.mid(0, 8), hex.mid(8, 4), hex.mid(12, 4),
                                                                            hex.mid(16, 4), hex.mid(20, 12));
            const QUuid u = QUuid::fromString(canonical);
            if (!u.isNull() || hex.count(QLatin1Char('0')) == 32) {
                out = u;
                return;
            }
        }
        break;
    }
    }
    fail(QStringLiteral("'%1' is not a valid value for column '%2'").arg(text, c.name));
}

// Keeps what it is given: the whole recordset in memory.
class CollectingSink final : public RowsetSink
{
public:
    void columns(const std::vector<Column> &columns) override { result.columns = columns; }
    void row(const Row &row) override { result.rows.push_back(row); }
    Rowset result;
};

} // namespace

void readRowset(QIODevice &device, const QString &sourceName, RowsetSink &sink)
{
    // ADO's default save form is the binary ADTG; sniff it rather than trust the name.
    const QByteArray head = device.peek(5);
    if (head.startsWith(QByteArrayView("\x01\x07TG", 4)) || head.startsWith(QByteArrayView("\x01\x07", 2)))
        throw RowsetError(QStringLiteral("%1: binary recordset format is not supported").arg(sourceName));
    Parser parser(device, sourceName, sink);
    parser.run();
}

void readRowsetFile(const QString &path, RowsetSink &sink)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RowsetError(QStringLiteral("Cannot open the recordset file '%1': %2").arg(path, file.errorString()));
    readRowset(file, path, sink);
}

Rowset readRowset(QIODevice &device, const QString &sourceName)
{
    CollectingSink sink;
    readRowset(device, sourceName, sink);
    return std::move(sink.result);
}

Rowset readRowset(const QByteArray &document, const QString &sourceName)
{
    QByteArray copy = document;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readRowset(buffer, sourceName);
}

Rowset readRowsetFile(const QString &path)
{
    CollectingSink sink;
    readRowsetFile(path, sink);
    return std::move(sink.result);
}

} // namespace tunelix::rowset
