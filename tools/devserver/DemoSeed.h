#pragma once

class Workspace;

// The demo account and its two filespaces with a few small files, added once per data folder.
namespace DemoSeed {

inline constexpr auto kEmail = "demo@kelvane.test";
inline constexpr auto kPassword = "demo-password";

void apply(Workspace& workspace);

} // namespace DemoSeed
