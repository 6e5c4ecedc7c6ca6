#pragma once

#include <QByteArray>
#include <QList>

// kelvane-findersync: plays the file manager's part around FinderSync. The file managers'
// action files run it with the selected items; people and tests run it by hand.
//   menu [--kind items|container|sidebar|toolbar] PATH…   print the menu it would show
//   copy-link PATH…                                       put the items' web links on the clipboard
//   open-on-web PATH…                                     open the first item's link
//   watch                                                 refresh every 10 s, print the watched set
//   in-drive PATH…                                        exit 0 when an item is in a watched
//   folder nautilus-script ACTION SCRIPT [ARG…]                  run ACTION on Nautilus's selection
// Returns the exit status.
namespace FinderSyncHost {

int run(const QList<QByteArray>& arguments);

} // namespace FinderSyncHost
