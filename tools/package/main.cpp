#include "tools/package/BundlePacker.h"

#include "shared/package/BundleSignature.h"
#include "shared/package/MinisignKey.h"

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QSaveFile>
#include <cstdio>
#include <optional>

namespace {

const char* const kUsage =
    "usage:\n"
    "  kelvane-package pack BUNDLE OUT --developer-key FILE --notary-key FILE\n"
    "                       [--build N] [--version V]\n"
    "      packs BUNDLE (left unchanged) as OUT/Kelvane-VERSION-BUILD-linux-amd64.tar.gz and\n"
    "      its .minisig\n"
    "  kelvane-package sign BUNDLE --developer-key FILE\n"
    "      writes BUNDLE/.signature (manifest, its signature, the developer public key)\n"
    "  kelvane-package verify BUNDLE\n"
    "      checks BUNDLE against its signed manifest and prints the signer's fingerprint\n"
    "  kelvane-package keygen PUBLIC_FILE SECRET_FILE\n"
    "      makes a key pair in minisign's format (secret key without a password)\n";

struct Arguments {
    QStringList positional;
    QMap<QString, QString> options;
};

std::optional<Arguments> split(const QStringList& arguments, const QStringList& valueOptions) {
    Arguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (!a.startsWith("--")) {
            parsed.positional.append(a);
            continue;
        }
        if (!valueOptions.contains(a) || i + 1 >= arguments.size()) {
            std::fprintf(stderr, "kelvane-package: unknown option or missing value: %s\n",
                         qPrintable(a));
            return std::nullopt;
        }
        parsed.options.insert(a, arguments[++i]);
    }
    return parsed;
}

int failWith(const QString& text) {
    std::fprintf(stderr, "kelvane-package: %s\n", qPrintable(text));
    return 1;
}

std::optional<MinisignSecretKey> secretKey(const Arguments& args, const QString& option,
                                           QString* error) {
    if (!args.options.contains(option)) {
        *error = option + " is required";
        return std::nullopt;
    }
    const QString path = args.options.value(option);
    const auto key = MinisignSecretKey::load(path, error);
    if (!key)
        *error = path + ": " + *error;
    return key;
}

int pack(const QStringList& arguments) {
    const auto args = split(arguments, {"--developer-key", "--notary-key", "--build", "--version"});
    if (!args || args->positional.size() != 2)
        return std::fputs(kUsage, stderr), 2;
    QString error;
    const auto developer = secretKey(*args, "--developer-key", &error);
    const auto notary = developer ? secretKey(*args, "--notary-key", &error) : std::nullopt;
    if (!notary)
        return failWith(error);
    BundlePacker::Request request{args->positional[0], args->positional[1], std::nullopt,
                                  std::nullopt,        *developer,          *notary};
    if (args->options.contains("--version"))
        request.version = args->options.value("--version");
    if (args->options.contains("--build"))
        request.build = args->options.value("--build");
    const auto package = BundlePacker::pack(request, &error);
    if (!package)
        return failWith(error);
    std::printf("%s\n%s\n", qPrintable(package->archive), qPrintable(package->signature));
    return 0;
}

int sign(const QStringList& arguments) {
    const auto args = split(arguments, {"--developer-key"});
    if (!args || args->positional.size() != 1)
        return std::fputs(kUsage, stderr), 2;
    QString error;
    const auto developer = secretKey(*args, "--developer-key", &error);
    if (!developer || !BundleSignature::sign(args->positional[0], *developer, &error))
        return failWith(error);
    std::printf("signed %s with key %s\n", qPrintable(args->positional[0]),
                qPrintable(developer->publicKey().keyIdText()));
    return 0;
}

int verify(const QStringList& arguments) {
    if (arguments.size() != 1)
        return std::fputs(kUsage, stderr), 2;
    QString error;
    const auto fingerprint = BundleSignature::verify(arguments[0], &error);
    if (!fingerprint)
        return failWith(arguments[0] + ": " + error);
    std::printf("%s\n", qPrintable(*fingerprint));
    return 0;
}

bool writeKey(const QString& path, const QByteArray& text, bool secret, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = path + ": " + file.errorString();
        return false;
    }
    if (secret)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(text) != text.size() || !file.commit()) {
        *error = path + ": " + file.errorString();
        return false;
    }
    return true;
}

int keygen(const QStringList& arguments) {
    if (arguments.size() != 2)
        return std::fputs(kUsage, stderr), 2;
    const MinisignSecretKey key = MinisignSecretKey::generate();
    QString error;
    if (!writeKey(arguments[1], key.toText(), true, &error) ||
        !writeKey(arguments[0], key.publicKey().toText(), false, &error))
        return failWith(error);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString command = arguments.isEmpty() ? QString() : arguments.takeFirst();
    if (command == "pack")
        return pack(arguments);
    if (command == "sign")
        return sign(arguments);
    if (command == "verify")
        return verify(arguments);
    if (command == "keygen")
        return keygen(arguments);
    std::fputs(kUsage, command == "--help" ? stdout : stderr);
    return command == "--help" ? 0 : 2;
}
