#include "rowset/RowsetWriter.h"

#include "rowset/RowsetNames.h"

#include <QBuffer>
#include <QDateTime>
#include <QLocale>
#include <QSaveFile>
#include <QUuid>
#include <QXmlStreamWriter>

#include <limits>

namespace tunelix::rowset {

namespace {

bool isNcName(const QString &name)
{
    if (name.isEmpty())
        return false;
    const auto startOk = [](QChar c) { return c.isLetter() || c == QLatin1Char('_'); };
    if (!startOk(name.front()))
        return false;
    for (QChar c : name) {
        if (!(startOk(c) || c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('.')))
            return false;
    }
    return true;
}

// Converts a caller's value to the column's type; throws when it does not fit.
QVariant normalised(const QVariant &value, const Column &column)
{
    if (!value.isValid() || value.isNull())
        return {};
    bool ok = true;
    const QLocale c = QLocale::c();
    switch (column.type) {
    case ColumnType::Int: {
        const qlonglong v = value.typeId() == QMetaType::QString ? c.toLongLong(value.toString(), &ok)
                                                                   : value.toLongLong(&ok);
        if (ok)
            return v;
        break;
    }
    case ColumnType::Double: {
        const double v = value.typeId() == QMetaType::QString ? c.toDouble(value.toString(), &ok) : value.toDouble(&ok);
        if (ok)
            return v;
        break;
    }
    case ColumnType::Bool:
        if (value.typeId() == QMetaType::QString) {
            const QString t = value.toString().toLower();
            if (t == QLatin1String("true") || t == QLatin1String("1"))
                return true;
            if (t == QLatin1String("false") || t == QLatin1String("0"))
                return false;
            break;
        }
        if (value.canConvert<bool>())
            return value.toBool();
        break;
    case ColumnType::DateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.isValid())
            return dt;
        break;
    }
    case ColumnType::Uuid: {
        const QUuid u = value.typeId() == QMetaType::QUuid ? value.toUuid() : QUuid::fromString(value.toString());
        if (!u.isNull() || value.toString().count(QLatin1Char('0')) >= 32)
            return u;
        break;
    }
    case ColumnType::Bytes:
        if (value.typeId() == QMetaType::QByteArray)
            return value;
        break;
    case ColumnType::Decimal:
    case ColumnType::String:
        return value.toString();
    }
    throw RowsetError(QStringLiteral("The value '%1' does not fit column '%2'.").arg(value.toString(), column.name));
}

void checkXmlText(const QString &text, const Column &column)
{
    for (QChar ch : text) {
        const ushort u = ch.unicode();
        if ((u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || u == 0xFFFE || u == 0xFFFF)
            throw RowsetError(
                QStringLiteral("Column '%1' holds a control character that XML cannot carry.").arg(column.name));
    }
}

void writeDataType(QXmlStreamWriter &w, const Column &column, const std::vector<Row> &rows, size_t index)
{
    w.writeEmptyElement(kXdrNamespace, QStringLiteral("datatype"));
    const auto attr = [&](QLatin1String ns, const QString &name, const QString &value) {
        w.writeAttribute(ns, name, value);
    };
    switch (column.type) {
    case ColumnType::Int: {
        bool wide = false;
        for (const Row &r : rows) {
            const QVariant &v = r[index];
            if (v.isValid()) {
                const qlonglong x = v.toLongLong();
                if (x < std::numeric_limits<qint32>::min() || x > std::numeric_limits<qint32>::max())
                    wide = true;
            }
        }
        attr(kDataTypeNamespace, QStringLiteral("type"), wide ? QStringLiteral("i8") : QStringLiteral("int"));
        attr(kDataTypeNamespace, QStringLiteral("maxLength"), wide ? QStringLiteral("8") : QStringLiteral("4"));
        attr(kRowsetNamespace, QStringLiteral("precision"), wide ? QStringLiteral("19") : QStringLiteral("10"));
        attr(kRowsetNamespace, QStringLiteral("fixedlength"), QStringLiteral("true"));
        break;
    }
    case ColumnType::Double:
        attr(kDataTypeNamespace, QStringLiteral("type"), QStringLiteral("float"));
        attr(kDataTypeNamespace, QStringLiteral("maxLength"), QStringLiteral("8"));
        attr(kRowsetNamespace, QStringLiteral("precision"), QStringLiteral("15"));
        attr(kRowsetNamespace, QStringLiteral("fixedlength"), QStringLiteral("true"));
        break;
    case ColumnType::Decimal:
        attr(kDataTypeNamespace, QStringLiteral("type"), QStringLiteral("number"));
        attr(kRowsetNamespace, QStringLiteral("dbtype"), QStringLiteral("numeric"));
        attr(kDataTypeNamespace, QStringLiteral("maxLength"), QStringLiteral("19"));
        break;
    case ColumnType::Bool:
        attr(kDataTypeNamespace, QStringLiteral("type"), QStringLiteral("boolean"));
        attr(kDataTypeNamespace, QStringLiteral("maxLength"), QStringLiteral("2"));
        attr(kRowsetNamespace, QStringLiteral("fixedlength"), QStringLiteral("true"));
        break;
    case ColumnType::String: {
        int longest = column.maxLength;
        if (longest <= 0) {
            longest = 1;
            for (const Row &r : rows)
                longest = std::max<int>(longest, static_cast<int>(r[index].toString().size()));
        }
        attr(kDataTypeNamespace, QStringLiteral("type"), QStringLiteral("string"));
        attr(kDataTypeNamespace, QStringLiteral("maxLength"), QString::number(longest));
        if (column.isLong)
            attr(kRowsetNamespace, QStringLiteral("long"), QStringLiteral("true"));
        break;
    }
    case ColumnType::Bytes:
        attr(kDataTypeNamespace, QStringLiteral("type"), QStringLiteral("bin.hex"));
        if (column.maxLength > 0)
            attr(kDataTypeNamespace, QStringLiteral("maxLength"), QString::number(column.maxLength));
        break;
    case ColumnType::DateTime:
        attr(kDataTypeNamespace, QStringLiteral("type"), QStringLiteral("dateTime"));
        attr(kRowsetNamespace, QStringLiteral("dbtype"), QStringLiteral("variantdate"));
        attr(kDataTypeNamespace, QStringLiteral("maxLength"), QStringLiteral("16"));
        attr(kRowsetNamespace, QStringLiteral("fixedlength"), QStringLiteral("true"));
        break;
    case ColumnType::Uuid:
        attr(kDataTypeNamespace, QStringLiteral("type"), QStringLiteral("uuid"));
        attr(kDataTypeNamespace, QStringLiteral("maxLength"), QStringLiteral("16"));
        attr(kRowsetNamespace, QStringLiteral("fixedlength"), QStringLiteral("true"));
        break;
    }
    if (!column.nullable)
        attr(kRowsetNamespace, QStringLiteral("maybenull"), QStringLiteral("false"));
}

} // namespace

Column makeColumn(const QString &name, ColumnType type, bool nullable)
{
    Column c;
    c.key = name;
    c.name = name;
    c.type = type;
    c.nullable = nullable;
    return c;
}

void writeRowset(QIODevice &out, const Rowset &rowset)
{
    const size_t n = rowset.columns.size();
    // Convert and check every value first, so a bad value writes nothing.
    std::vector<Row> rows;
    rows.reserve(rowset.rows.size());
    for (const Row &r : rowset.rows) {
        if (r.size() != n)
            throw RowsetError(QStringLiteral("A row has %1 values for %2 columns.").arg(r.size()).arg(n));
        Row converted(n);
        for (size_t c = 0; c < n; ++c) {
            converted[c] = normalised(r[c], rowset.columns[c]);
            if (!converted[c].isValid() && !rowset.columns[c].nullable)
                throw RowsetError(QStringLiteral("Column '%1' is not nullable.").arg(rowset.columns[c].name));
            if (converted[c].typeId() == QMetaType::QString)
                checkXmlText(converted[c].toString(), rowset.columns[c]);
        }
        rows.push_back(std::move(converted));
    }

    std::vector<QString> keys;
    for (size_t c = 0; c < n; ++c) {
        const QString &name = rowset.columns[c].name;
        if (name.isEmpty())
            throw RowsetError(QStringLiteral("Column %1 has no name.").arg(c + 1));
        keys.push_back(isNcName(name) ? name : QStringLiteral("c%1").arg(c + 1));
    }

    QXmlStreamWriter w(&out);
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(-1); // one tab, as ADO indents
    w.writeStartElement(QStringLiteral("xml"));
    w.writeNamespace(kXdrNamespace, QStringLiteral("s"));
    w.writeNamespace(kDataTypeNamespace, QStringLiteral("dt"));
    w.writeNamespace(kRowsetNamespace, QStringLiteral("rs"));
    w.writeNamespace(kRowNamespace, QStringLiteral("z"));

    w.writeStartElement(kXdrNamespace, QStringLiteral("Schema"));
    w.writeAttribute(QStringLiteral("id"), QStringLiteral("RowsetSchema"));
    w.writeStartElement(kXdrNamespace, QStringLiteral("ElementType"));
    w.writeAttribute(QStringLiteral("name"), QStringLiteral("row"));
    w.writeAttribute(QStringLiteral("content"), QStringLiteral("eltOnly"));
    for (size_t c = 0; c < n; ++c) {
        const Column &column = rowset.columns[c];
        w.writeStartElement(kXdrNamespace, QStringLiteral("AttributeType"));
        w.writeAttribute(QStringLiteral("name"), keys[c]);
        if (keys[c] != column.name)
            w.writeAttribute(kRowsetNamespace, QStringLiteral("name"), column.name);
        w.writeAttribute(kRowsetNamespace, QStringLiteral("number"), QString::number(c + 1));
        if (column.nullable)
            w.writeAttribute(kRowsetNamespace, QStringLiteral("nullable"), QStringLiteral("true"));
        writeDataType(w, column, rows, c);
        w.writeEndElement();
    }
    w.writeEmptyElement(kXdrNamespace, QStringLiteral("extends"));
    w.writeAttribute(QStringLiteral("type"), QStringLiteral("rs:rowbase"));
    w.writeEndElement(); // ElementType
    w.writeEndElement(); // Schema

    w.writeStartElement(kRowsetNamespace, QStringLiteral("data"));
    for (const Row &r : rows) {
        w.writeEmptyElement(kRowNamespace, QStringLiteral("row"));
        for (size_t c = 0; c < n; ++c) {
            if (r[c].isValid())
                w.writeAttribute(keys[c], valueText(r[c], rowset.columns[c].type));
        }
    }
    // An empty rs:data stays an element with an end tag; both forms read back.
    w.writeCharacters(QString());
    w.writeEndElement(); // data
    w.writeEndElement(); // xml
    w.writeEndDocument();
    if (w.hasError())
        throw RowsetError(QStringLiteral("Cannot write the recordset: %1").arg(out.errorString()));
}

QByteArray rowsetToXml(const Rowset &rowset)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeRowset(buffer, rowset);
    return bytes;
}

void writeRowsetFile(const QString &path, const Rowset &rowset)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw RowsetError(QStringLiteral("Cannot write '%1': %2").arg(path, file.errorString()));
    writeRowset(file, rowset);
    if (!file.commit())
        throw RowsetError(QStringLiteral("Cannot write '%1': %2").arg(path, file.errorString()));
}

} // namespace tunelix::rowset
