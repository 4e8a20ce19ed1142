#pragma once

#include <QLatin1String>

namespace tunelix::rowset {

// The four namespaces of ADO's XML persistence form; elements are matched by these
// URIs, never by their usual prefixes s, dt, rs and z.
inline constexpr QLatin1String kXdrNamespace("uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882");
inline constexpr QLatin1String kDataTypeNamespace("uuid:C2F41010-65B3-11d1-A29F-00AA00C14882");
inline constexpr QLatin1String kRowsetNamespace("urn:schemas-microsoft-com:rowset");
inline constexpr QLatin1String kRowNamespace("#RowsetSchema");

} // namespace tunelix::rowset
