// Stands in for kelvane-clipboard in tests: keeps the text it is given in
// $HOME/clipboard.txt instead of on a desktop clipboard.
#include <cstdio>
#include <cstdlib>
#include <string>

int main() {
    std::string text;
    char buffer[4096];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        text.append(buffer, got);
    const char* home = std::getenv("HOME");
    if (!home)
        return 1;
    FILE* out = std::fopen((std::string(home) + "/clipboard.txt").c_str(), "wb");
    if (!out)
        return 1;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
    std::printf("serving the clipboard\n");
    return 0;
}
