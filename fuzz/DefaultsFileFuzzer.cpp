// The defaults file (INI text another program or an old version may have written) and the
// values read from it at launch.
#include "app/settings/AppSettings.h"
#include "fuzz/FuzzInput.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    FuzzInput::useScratchHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The settings reader keeps files it has read and reads one again when its time or size
    // changed: each input gets a time of its own.
    static qint64 count = 0;
    const QString file = QDir::homePath() + QStringLiteral("/defaults.conf");
    {
        QFile out(file);
        FuzzInput::require(out.open(QIODevice::WriteOnly | QIODevice::Truncate),
                           "scratch file opens");
        out.write(FuzzInput::bytes(data, size));
        out.setFileTime(QDateTime::fromSecsSinceEpoch(++count), QFileDevice::FileModificationTime);
    }
    const UserDefaults defaults(file);
    AppSettings::load(defaults);
    defaults.string(DefaultsKeys::kApiURL);
    defaults.boolean(DefaultsKeys::kOnboardingSeen);
    defaults.data(DefaultsKeys::kLastUpdateCheck);
    return 0;
}
