#include "tests/support/TestHome.h"

#include <QDir>
#include <cstdlib>

TestHome::TestHome()
    : dir_(QDir::tempPath() + QStringLiteral("/kelvane-home-XXXXXX")),
      previousHome_(qgetenv("HOME")) {
    qputenv("HOME", dir_.path().toUtf8());
}

TestHome::~TestHome() {
    qputenv("HOME", previousHome_);
}
