// The dev server's command line, split at NUL bytes.
#include "fuzz/FuzzInput.h"
#include "tools/devserver/ServerOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QStringList arguments;
    for (const std::string& arg : FuzzInput::arguments(data, size))
        arguments.append(QString::fromStdString(arg));
    QString error;
    const auto options = ServerOptions::parse(arguments, &error);
    FuzzInput::require(options.has_value() == error.isEmpty(), "a refused line says why");
    return 0;
}
