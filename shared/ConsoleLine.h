#pragma once

#include <QString>

// The bracketed progress lines the programs write to standard output ("[Kelvane] …",
// "[SyncListener] …"). Every such line goes through here, so their form stays one.
namespace ConsoleLine {

// Writes "[tag] text" and a line feed, flushed at once.
void print(const QString& tag, const QString& text);
// The same under the application's own tag, "Kelvane".
void app(const QString& text);

} // namespace ConsoleLine
