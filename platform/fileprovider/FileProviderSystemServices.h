#pragma once

class FileProviderDomainService;
class TextPasteboard;

// What the system lends an extension besides its entry points: the domain manager's service
// (evicting, requesting downloads) and the desktop's clipboard.
struct FileProviderSystemServices {
    FileProviderDomainService& domains;
    TextPasteboard& pasteboard;
};
