#pragma once

#include <QString>

// invalidation-token.txt: the application's clock in milliseconds as plain decimal digits,
// which the extension's enumerator uses as its sync anchor. Only the application writes it.
namespace InvalidationToken {

// The file inside the file-provider extension's data folder.
QString file();
// Decimal digits only: no sign, no leading zeros, no line end. Times before 1970 give "0".
QString format(qint64 millisecondsSinceEpoch);
// Replaces the file atomically, creating its folder; returns false on any failure.
bool write(qint64 millisecondsSinceEpoch);
// The trimmed content, or "initial" when the file is missing, unreadable, not UTF-8 or blank.
QString read();

} // namespace InvalidationToken
