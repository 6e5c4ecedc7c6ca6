#pragma once

class InstanceChannel;
class TextClipboard;

// "copyToClipboard" (shared/ClipboardRequest.h): other programs (the file manager's "Copy
// Kelvane Link") hand text to the running Kelvane, which owns the clipboard for as long as it
// runs, so the text stays pasteable after they exit. Only an instance with a desktop clipboard
// registers it (the tray, with its QtTextClipboard); a headless one does not, and callers then
// fall back to kelvane-clipboard.
namespace ClipboardCommands {
void registerClipboard(InstanceChannel& channel, TextClipboard& clipboard);
} // namespace ClipboardCommands
