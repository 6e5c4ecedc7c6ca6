// A stand-in browser for tests: appends its arguments, tab-separated, as one line to the file
// named by KELVANE_RECORD_FILE.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const char* file = std::getenv("KELVANE_RECORD_FILE");
    if (!file)
        return 2;
    FILE* out = std::fopen(file, "a");
    if (!out)
        return 2;
    for (int i = 1; i < argc; ++i)
        std::fprintf(out, i == 1 ? "%s" : "\t%s", argv[i]);
    std::fputc('\n', out);
    return std::fclose(out) == 0 ? 0 : 2;
}
